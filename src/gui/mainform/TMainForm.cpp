#include "TMainForm.h"

#include "AppTitle.h"
#include "Exception.h"
#include "Fonts.h"
#include "Forms.h"
#include "TApplication.h"
#include "engine/MonitorEngine.h"
#include "icmp/ReadyWaiter.h"
#include "resources/Icons.h"
#include "settings/SettingsKeys.h"
#include "widgets/TBevelPanel.h"
#include "widgets/TChartBox.h"
#include "widgets/TGauge.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace {

// Labels size themselves to their text, as the layout's labels do; the
// widths of the layout are the least they get.
void fitWidth(QLabel* label) {
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
}

QLabel* heading(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(fonts::arial(13, true, true));
    label->setGeometry(geometry);
    fitWidth(label);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
    return label;
}

template <typename W> W* control(W* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* link(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* label = control(new QLabel(QString::fromLatin1(text), parent), name, geometry);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(pal);
    fitWidth(label);
    return label;
}

QLabel* legend(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* label = control(new QLabel(QString::fromLatin1(text), parent), name, geometry);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    return label;
}

// Input that comes while an echo waits is handed on once it is over. Qt
// keeps updating the points of the pointer events it has delivered, copies
// included, with where the pointer went since: handed on as they were held,
// a click would land where the pointer is by then and miss its check box. So
// mouse and wheel events are made anew from their values when handed on.
EventLoopWaiter::InputReplay replayInput(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        const auto& e = static_cast<const QMouseEvent&>(event);
        // Widgets get the double click that follows such a press, not the
        // press itself: a spin box would step three times.
        if (e.flags().testFlag(Qt::MouseEventCreatedDoubleClick))
            return {};
        return [type = e.type(), local = e.position(), scene = e.scenePosition(), global = e.globalPosition(),
                button = e.button(), buttons = e.buttons(), modifiers = e.modifiers(), source = e.source(),
                device = e.pointingDevice(), stamp = e.timestamp()](QObject* receiver) {
            QMouseEvent again(type, local, scene, global, button, buttons, modifiers, source, device);
            again.setTimestamp(stamp);
            QCoreApplication::sendEvent(receiver, &again);
        };
    }
    case QEvent::Wheel: {
        const auto& e = static_cast<const QWheelEvent&>(event);
        return [local = e.position(), global = e.globalPosition(), pixels = e.pixelDelta(), angle = e.angleDelta(),
                buttons = e.buttons(), modifiers = e.modifiers(), phase = e.phase(), inverted = e.inverted(),
                source = e.source(), device = e.pointingDevice(), stamp = e.timestamp()](QObject* receiver) {
            QWheelEvent again(local, global, pixels, angle, buttons, modifiers, phase, inverted, source, device);
            again.setTimestamp(stamp);
            QCoreApplication::sendEvent(receiver, &again);
        };
    }
    default:
        return EventLoopWaiter::replayClone(event);
    }
}

// Stop pressed while an echo waits is held back like all input and carried
// out once the echo is over, but that echo ends at once for it, as it does
// when the window closes. What presses Stop: a click on it, through the
// window or on the button itself; Escape; Space or Enter on the focused
// button.
class StopDuringEcho : public QObject {
public:
    explicit StopDuringEcho(TMainForm* form)
        : QObject(form), m_form(form), m_watch(EventLoopWaiter::watchHeldInput(
                                           [this](QObject* receiver, const QEvent& event) { held(receiver, event); })) {
    }
    StopDuringEcho(const StopDuringEcho&) = delete;
    StopDuringEcho& operator=(const StopDuringEcho&) = delete;
    ~StopDuringEcho() override { EventLoopWaiter::unwatchHeldInput(m_watch); }

private:
    void held(QObject* receiver, const QEvent& event) {
        QPushButton* stop = m_form->StopButton;
        if (!m_form->Engine || !stop->isEnabled() || !inWindow(receiver))
            return;
        switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            const auto& mouse = static_cast<const QMouseEvent&>(event);
            if (mouse.button() != Qt::LeftButton)
                return;
            const bool onStop = stop->rect().contains(stop->mapFromGlobal(mouse.globalPosition().toPoint()));
            if (event.type() == QEvent::MouseButtonPress) {
                m_pressedOnStop = onStop;
                return;
            }
            // Pressed while held back, or before the echo.
            const bool pressed = std::exchange(m_pressedOnStop, false) || stop->isDown();
            if (onStop && pressed)
                m_form->Engine->InterruptEcho();
            return;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<const QKeyEvent&>(event).key();
            const bool focused = QApplication::focusWidget() == stop;
            if (key == Qt::Key_Escape ||
                (focused && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)))
                m_form->Engine->InterruptEcho();
            return;
        }
        default:
            return;
        }
    }

    bool inWindow(QObject* receiver) const {
        if (receiver == m_form->windowHandle())
            return true;
        return receiver->isWidgetType() && static_cast<QWidget*>(receiver)->window() == m_form;
    }

    TMainForm* m_form;
    int m_watch;
    bool m_pressedOnStop = false;
};

} // namespace

// The address label keeps its left edge and grows to the right to show its
// whole text; the layout's width is the least it gets.
void TMainForm::showAddressText(const QString& text) {
    IPlabel->setText(text);
    IPlabel->resize(std::max(kAddressLabelWidth, IPlabel->sizeHint().width()), IPlabel->height());
}

// A legend keeps its right edge at x = 47 and grows to the left, up to the
// window's edge; a text wider still ("10000 ms" in the usual sans-serif
// faces) is set a little condensed rather than cut off.
void TMainForm::showLegendText(QLabel* label, const QString& text) {
    label->setText(text);
    QFont font = this->font();
    for (int stretch = 100; stretch > 70; stretch -= 2) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(text) <= kLegendRight)
            break;
    }
    label->setFont(font);
    const int width = std::min(kLegendRight, label->sizeHint().width());
    label->setGeometry(kLegendRight - width, label->y(), width, label->height());
}

TMainForm::TMainForm(const MainFormServices& services, QWidget* parent) : QWidget(parent), m_services(services) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Linkvigil"));
    setWindowIcon(icons::program());
    setFont(fonts::windowFont());
    setFixedSize(427, 293);
    move(200, 108);
    createControls();
    FormCreate();
    // The desktop's session is ending: closing ends the program, tray or not.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { m_quitting = true; });
}

TMainForm::~TMainForm() {
    // The engine may still report a cancelled lookup: let it do so while
    // every control is alive.
    delete Engine;
    Engine = nullptr;
    // The controls go after this body, moving the focus as they go: nothing
    // of this half-destroyed window may hear of it.
    disconnect(qApp, nullptr, this, nullptr);
    for (QWidget* child : findChildren<QWidget*>())
        child->removeEventFilter(this);
}

void TMainForm::createControls() {
    Label1 = heading(this, "Label1", "Check connection to:", {8, 8, 132, 16});
    cbConnectTo = control(new QComboBox(this), "cbConnectTo", {152, 8, 257, 21});
    cbConnectTo->setEditable(true);
    cbConnectTo->setInsertPolicy(QComboBox::NoInsert);
    // The box keeps exactly what was typed: no inline completion, and when
    // the typing is done an entry is taken over only when it matches to the
    // letter. The combo box matches case-insensitively unless its completer
    // says otherwise; this one has nothing to offer, the drop-down list does.
    auto* exactOnly = new QCompleter(QStringList(), cbConnectTo);
    exactOnly->setCaseSensitivity(Qt::CaseSensitive);
    exactOnly->setCompletionMode(QCompleter::PopupCompletion);
    cbConnectTo->setCompleter(exactOnly);
    cbConnectTo->setMaxVisibleItems(12);
    IPlabel = control(new QLabel(this), "IPlabel", {152, 32, kAddressLabelWidth, 13});
    showAddressText(QStringLiteral("Type in a valid IP-address or web-adress"));
    Label2 = heading(this, "Label2", "Interval in msec:", {8, 56, 101, 16});
    edInterval = control(new QLineEdit(this), "edInterval", {152, 56, 137, 21});
    edInterval->setToolTip(QStringLiteral("This is the interval in milliseconds inbetween discrete network checks"));
    Label3 = heading(this, "Label3", "Time-out in msec:", {8, 80, 111, 16});
    edTimeout = control(new QLineEdit(this), "edTimeout", {152, 80, 137, 21});
    edTimeout->setToolTip(QStringLiteral("This is the time allowed for the network node to answer"));
    btnViewLog = control(new QPushButton(icons::eyes(), QStringLiteral("&View Log ..."), this), "btnViewLog",
                         {296, 72, 113, 25});
    LoggingButton =
        control(new QPushButton(QStringLiteral("Settings / &Logs"), this), "LoggingButton", {296, 104, 113, 25});
    Label7 = heading(this, "Label7", "Reliability:", {8, 112, 66, 16});
    ggReliab = control(new TGauge(this), "ggReliab", {152, 112, 137, 17});
    ggReliab->setToolTip(QStringLiteral("This performance index indicates the network connection's reliability"));
    lbHelp = link(this, "lbHelp", "Help File", {8, 136, 41, 13});
    InfoLabel = link(this, "InfoLabel", "Web Info", {64, 136, 44, 13});
    // Below the two links, where the layout has room: nothing else moves.
    lbOutages = link(this, "lbOutages", "Outages", {8, 152, 41, 13});
    lbHistory = link(this, "lbHistory", "History", {64, 152, 44, 13});
    lbRoute = link(this, "lbRoute", "Route", {112, 152, 36, 13});
    StartButton =
        control(new QPushButton(icons::checkMark(), QStringLiteral("Start"), this), "StartButton", {152, 136, 65, 25});
    StopButton =
        control(new QPushButton(icons::cross(), QStringLiteral("Stop"), this), "StopButton", {224, 136, 67, 25});
    StopButton->setEnabled(false);
    SaveButton = control(new QPushButton(icons::floppy(), QStringLiteral("&Save Settings"), this), "SaveButton",
                         {296, 136, 113, 25});
    for (QPushButton* b : {btnViewLog, StartButton, StopButton, SaveButton})
        b->setIconSize(QSize(16, 16));
    // Right-aligned at x = 47; room to the left for wider faces.
    lbLegendTop = legend(this, "lbLegendTop", "4000 ms", {0, 168, kLegendRight, 13});
    lbLegendMid = legend(this, "lbLegendMid", "2000 ms", {0, 215, kLegendRight, 13});
    lbLegendBtm = legend(this, "lbLegendBtm", "0 ms", {0, 258, kLegendRight, 13});
    Panel1 = control(new TBevelPanel(this), "Panel1", {56, 168, 353, 105});
    Panel1->setFocusPolicy(Qt::TabFocus);
    FBox = control(new TChartBox(&Chart, Panel1), "FBox", Panel1->ClientRect());
    StatusBar = control(new QStatusBar(this), "StatusBar", {0, 274, 427, 19});
    StatusBar->setSizeGripEnabled(false);

    // The tab order of the layout: address, interval, time-out, Start, Stop,
    // settings, chart panel, then the log viewer and the save button.
    const QList<QWidget*> tabOrder = {cbConnectTo,   edInterval, edTimeout,  StartButton, StopButton,
                                      LoggingButton, Panel1,     btnViewLog, SaveButton};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    EngineServices engine;
    engine.clock = m_services.clock;
    engine.sound = m_services.sound;
    engine.boxes = m_services.boxes;
    engine.makePing = m_services.makePing;
    engine.logDirectory = dataDirectory();
    engine.regional = m_services.regional;
    engine.stopwatch = m_services.stopwatch;
    engine.routes = m_services.routes;
    engine.makeProbeChannel = m_services.makeProbeChannel;
    Engine = new MonitorEngine(engine, this);
    followEngine();

    const auto handle = [this](void (TMainForm::*handler)()) {
        return [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(StartButton, &QPushButton::clicked, this, handle(&TMainForm::StartButtonClick));
    connect(StopButton, &QPushButton::clicked, this, handle(&TMainForm::StopButtonClick));
    connect(LoggingButton, &QPushButton::clicked, this, handle(&TMainForm::LoggingButtonClick));
    connect(btnViewLog, &QPushButton::clicked, this, handle(&TMainForm::btnViewLogClick));
    connect(SaveButton, &QPushButton::clicked, this, [this] { runGuarded([this] { SaveButtonClick(SaveButton); }); });
    connect(qApp, &QApplication::focusChanged, this, &TMainForm::focusChanged);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    EventLoopWaiter::setInputCopy(replayInput);
    new StopDuringEcho(this);
}

// The monitor's start-up: the settings, the first averaging window, the
// fields with their limits and legend, the probe state and the chart.
void TMainForm::FormCreate() {
    ProgramDirectory = m_services.programDirectory;
    SettingsFileName =
        (m_services.settingsDirectory.isEmpty() ? ProgramDirectory : m_services.settingsDirectory) + settings::FileName;
    LoadSettings();

    edInterval->setText(QString::number(Engine->Interval()));
    edTimeout->setText(QString::number(Engine->Timeout()));
    edTimeoutExit();

    Chart.StartupFill();
    FBox->update();
    lbHelp->setCursor(Qt::PointingHandCursor);
    InfoLabel->setCursor(Qt::PointingHandCursor);
    lbOutages->setCursor(Qt::PointingHandCursor);
    lbHistory->setCursor(Qt::PointingHandCursor);
    lbRoute->setCursor(Qt::PointingHandCursor);
}

// Closing the main window ends the program, whatever else is showing: the
// probe timer and the repeated warning sound stop at once and the warning
// window goes with it. An echo still waiting ends without a reply step.
// Where the settings keep the program in the tray, closing only hides it.
void TMainForm::closeEvent(QCloseEvent* event) {
    if (closeHidesInTray()) {
        event->ignore();
        hideInTray();
        return;
    }
    Engine->Shutdown();
    QWidget::closeEvent(event);
    // Ends every running event loop, a waiting echo's included. Not quit():
    // that asks every window to close again, from inside this close, and
    // when the desktop itself asked the program to quit, such a nested
    // request can be lost and leave the program running.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void TMainForm::ShowStatus(const QString& message) {
    StatusBar->showMessage(message);
}

void TMainForm::setCaption(const QString& caption) {
    setWindowTitle(caption);
    SetApplicationTitle(caption);
}

// Handlers called from Qt's signals must not let an error escape into Qt:
// it is shown in the error box once the current event is done.
void TMainForm::runGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Exception& e) {
        QMetaObject::invokeMethod(
            this, [message = e.Message()] { TApplication::ShowException(message); }, Qt::QueuedConnection);
    }
}

// A field's exit handler runs when the focus moves to another control of
// this window, before that control sees the click that moved it. Focus
// leaving for another window (a message box, the desktop) is no exit.
void TMainForm::focusChanged(QWidget* old, QWidget* now) {
    if (!old || !now || now->window() != this)
        return;
    auto left = [&](QWidget* field) {
        return (old == field || field->isAncestorOf(old)) && !field->isAncestorOf(now) && now != field;
    };
    if (left(cbConnectTo))
        runGuarded([this] { cbConnectToExit(); });
    else if (left(edInterval))
        runGuarded([this] { edIntervalExit(); });
    else if (left(edTimeout))
        runGuarded([this] { edTimeoutExit(); });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && !ShowHint)
        return true;
    // The two link labels act on a left click.
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == lbHelp) {
            runGuarded([this] { lbHelpClick(); });
            return true;
        }
        if (watched == InfoLabel) {
            runGuarded([this] { InfoLabelClick(); });
            return true;
        }
        if (watched == lbOutages) {
            runGuarded([this] { lbOutagesClick(); });
            return true;
        }
        if (watched == lbHistory) {
            runGuarded([this] { lbHistoryClick(); });
            return true;
        }
        if (watched == lbRoute) {
            runGuarded([this] { lbRouteClick(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange)
        Engine->SetRegional(RegionalSettings::fromLocale(QLocale::system()));
    QWidget::changeEvent(event);
}

// Enter presses the focused button, else Start while it is enabled; Escape
// presses Stop while it is enabled.
void TMainForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
            focused->click();
            return;
        }
        if (StartButton->isEnabled()) {
            StartButton->click();
            return;
        }
    } else if (event->key() == Qt::Key_Escape && StopButton->isEnabled()) {
        StopButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
