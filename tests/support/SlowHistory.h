#pragma once

#include "history/HistorySource.h"

#include <QThread>

#include <atomic>

// Another history source, read as slowly as a cold disk: every call waits
// `delayMs` first. Counts the calls and tells which thread made the last.
class SlowHistory : public IHistorySource {
public:
    SlowHistory(IHistorySource& inner, int delayMs) : m_inner(inner), m_delayMs(delayMs) {}

    QList<HistoryHost> hosts() override {
        wait();
        return m_inner.hosts();
    }
    QList<HistoryBucket> buckets(const QString& host, qint64 fromMs, qint64 toMs, int columns) override {
        wait();
        ++bucketCalls;
        return m_inner.buckets(host, fromMs, toMs, columns);
    }
    void forEachEcho(const QString& host, qint64 fromMs, qint64 toMs,
                     const std::function<bool(const EchoSample&)>& take) override {
        wait();
        m_inner.forEachEcho(host, fromMs, toMs, take);
    }

    std::atomic<int> bucketCalls = 0;
    std::atomic<QThread*> lastThread = nullptr;

private:
    void wait() {
        lastThread = QThread::currentThread();
        QThread::msleep(m_delayMs);
    }

    IHistorySource& m_inner;
    int m_delayMs;
};
