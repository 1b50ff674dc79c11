#include "TrayStatus.h"

#include "engine/MonitorEngine.h"
#include "icmp/AddressText.h"
#include "icmp/TICMP.h"
#include "monitor/Reliability.h"

TrayStatus::TrayStatus(const MonitorEngine& engine, QObject* parent) : QObject(parent), m_engine(engine) {
    const MonitorEngine* e = &engine;
    connect(e, &MonitorEngine::runningChanged, this, [this](bool running) {
        if (running)
            m_haveEcho = false;
        emit changed();
    });
    connect(e, &MonitorEngine::echoDone, this, &TrayStatus::echoDone);
    // The index after a reply, the alerts' crossings, the program's end.
    connect(e, &MonitorEngine::progressChanged, this, &TrayStatus::changed);
    connect(e, &MonitorEngine::connectionChanged, this, &TrayStatus::changed);
    connect(e, &MonitorEngine::warningCleared, this, &TrayStatus::changed);
    // A lookup's start and end, told by the address text; the engine sets
    // its state just after that text, so it is read once the step is over.
    connect(e, &MonitorEngine::addressTextChanged, this, &TrayStatus::changed, Qt::QueuedConnection);
}

bool TrayStatus::running() const {
    return m_engine.Running();
}

TrayStatus::Picture TrayStatus::picture() const {
    if (!running())
        return Picture::Idle;
    if (m_engine.MonitorState == Resolving || m_engine.MonitorState == LookupFailed)
        return Picture::LookingUp;
    return m_engine.ConnectionUp ? Picture::Up : Picture::Down;
}

QString TrayStatus::toolTip() const {
    if (!running())
        return QStringLiteral("Linkvigil — idle");
    QString tip = QStringLiteral("Linkvigil — ") + inet::hostLabel(m_engine.WatchedHost(), m_engine.ResolvedIP());
    if (m_engine.MonitorState == Resolving)
        return tip + QStringLiteral("\nLooking up the host");
    if (m_engine.MonitorState == LookupFailed)
        return tip + QStringLiteral("\nThe host cannot be found");
    if (!m_haveEcho)
        return tip + QStringLiteral("\nWaiting for the first reply");
    tip += QStringLiteral("\nReliability %1 %").arg(reliability::percent(m_engine.ReliabilityIndex));
    if (!m_engine.ConnectionUp)
        tip += QStringLiteral(" (connection lost)");
    if (m_answered)
        tip += QStringLiteral("\nLast round trip %1 ms").arg(m_roundTrip);
    else
        tip += QStringLiteral("\nLast echo: ") + m_failure;
    return tip;
}

void TrayStatus::echoDone(const EchoSample& echo) {
    m_haveEcho = true;
    m_answered = echo.answered();
    m_roundTrip = echo.roundTripMs();
    m_failure = TICMP::StatusText(echo.status);
    emit changed();
}
