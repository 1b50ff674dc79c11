#pragma once

#include "echo/EchoSample.h"

#include <QObject>
#include <QString>

#include <cstdint>

class MonitorEngine;

// What the tray shows of one engine: which picture and what tool tip. It
// follows the engine's signals and holds no icon itself.
class TrayStatus : public QObject {
    Q_OBJECT
public:
    enum class Picture { Idle, Up, Down, LookingUp };

    explicit TrayStatus(const MonitorEngine& engine, QObject* parent = nullptr);

    Picture picture() const;
    QString toolTip() const;
    bool running() const;

signals:
    // Picture, tool tip or running state may have changed.
    void changed();

private:
    void echoDone(const EchoSample& echo);

    const MonitorEngine& m_engine;
    // The last echo of this run; none since Start.
    bool m_haveEcho = false;
    bool m_answered = false;
    std::uint32_t m_roundTrip = 0; // ms
    QString m_failure;
};
