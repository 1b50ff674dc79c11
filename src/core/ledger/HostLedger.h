#pragma once

#include "HostState.h"
#include "LedgerFile.h"
#include "LedgerRow.h"
#include "clock/Stopwatch.h"

#include <QList>
#include <QString>

// One watched host's part of the ledger that the hosts of its folder share:
// its finished rows, appended to "Outages.csv" (kept, in order, while the
// disk will not take them, and written as soon as it does), its outage in
// progress, and its watching stamp, from which the next start tells how
// long the host was not watched and why. A file that cannot be written is
// told once, by name, until it can be written again.
class HostLedger {
public:
    struct Timing {
        qint64 intervalMs = 1000;
        qint64 timeoutMs = 1000;
    };
    // The stamp is renewed this often while the host is watched, so a
    // program that ends without a word leaves it at most this old.
    static constexpr qint64 StampEveryMs = 60'000;

    HostLedger(QString ledgerPath, QString host);

    const QString& path() const { return m_file.path(); }
    const QString& host() const { return m_host; }

    class Listener {
    public:
        virtual ~Listener() = default;
        // The message for a file that could not be written.
        virtual void onLedgerFileFailed(const QString& message) = 0;
    };
    // None, or one that outlives the ledger.
    Listener* out = nullptr;

    // Watching begins. The outage that a killed run left is completed, its
    // end unknown, and the time since the host was last watched becomes a
    // gap whose note says why it was not watched. Returns those rows.
    QList<LedgerRow> begin(const Moment& now, const QString& address, const Timing& timing);
    // A finished row.
    void keep(const LedgerRow& row);
    // The outage in progress as it changes; null when it has ended, after
    // which its row follows.
    void keepOpen(const LedgerRow* open);
    // Each tick while watching: the stamp once a minute, and rows that
    // wait for the disk.
    void tick(const Moment& now);
    // Watching ends, and why.
    void end(const Moment& now, HostState::Watching why);

    qsizetype waitingRows() const { return m_waiting.size(); }

private:
    enum File { Ledger, Open, Stamp, FileCount };

    void flush();
    void stamp(const Moment& now, HostState::Watching state);
    void report(File file, const QString& path, const LedgerFile::Outcome& outcome);

    LedgerFile m_file;
    HostState m_state;
    QString m_host;
    QDateTime m_since;
    QList<LedgerRow> m_waiting;
    bool m_clearOpen = false; // the outage in progress ended: clear it once its row is written
    bool m_failing[FileCount] = {};
    std::int64_t m_lastStampMs = 0;
};
