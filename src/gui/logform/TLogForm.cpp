#include "logform/TLogForm.h"

#include "Fonts.h"
#include "logform/TFileNameEdit.h"
#include "logform/TSpinEdit.h"
#include "resources/Icons.h"
#include "seams/ISoundPlayer.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace {

const QString soundFilter = QStringLiteral("Sound files (*.wav)|*.wav|All files (*.*)|*.*");
const QString soundHint = QStringLiteral("Click on the small folder icon to change");

// A small loudspeaker with two sound waves, for the test buttons, drawn at
// the screen's density.
QIcon speakerIcon() {
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap pixmap(qRound(16 * ratio), qRound(16 * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.setBrush(QColor(60, 60, 60));
    QPainterPath body;
    body.moveTo(2, 6);
    body.lineTo(5, 6);
    body.lineTo(9, 2.5);
    body.lineTo(9, 13.5);
    body.lineTo(5, 10);
    body.lineTo(2, 10);
    body.closeSubpath();
    painter.drawPath(body);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(30, 90, 200), 1.3));
    painter.drawArc(QRectF(7, 5, 5, 6), -60 * 16, 120 * 16);
    painter.drawArc(QRectF(6, 2.5, 9, 11), -60 * 16, 120 * 16);
    return QIcon(pixmap);
}

// The text of a label or check box; empty for other controls.
QString captionOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* box = qobject_cast<const QCheckBox*>(widget))
        return box->text();
    return {};
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption) {
    auto* result = new QLabel(caption, parent);
    result->setObjectName(QLatin1String(name));
    return result;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QToolButton* testButton(QWidget* parent, const char* name) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(speakerIcon());
    button->setToolTip(QStringLiteral("Test!"));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

TFileNameEdit* fileNameEdit(QWidget* parent, IFileDialogs* fileDialogs, const char* name, bool typingAllowed) {
    auto* edit = new TFileNameEdit(fileDialogs, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setTypingAllowed(typingAllowed);
    return edit;
}

} // namespace

TLogForm::TLogForm(QWidget* parent, MonitorEngine* engine, ISoundPlayer* sound, IFileDialogs* fileDialogs)
    : QDialog(parent), m_sound(sound), m_engine(engine) {
    setObjectName(QStringLiteral("LogForm"));
    setWindowTitle(QStringLiteral("Settings"));
    setFont(fonts::windowFont());
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFixedSize(384, 490);
    createControls(fileDialogs);
    placeControls();
    orderTabs();
    connectControls();
    chUseLoggingClick();
    chSoundFailClick();
    chSoundBackClick();
    FormCreate();
}

void TLogForm::createControls(IFileDialogs* fileDialogs) {
    chSoundFail =
        checkBox(this, "chSoundFail", QStringLiteral("Play warning sound when connection falls below 30%"), true);
    edSoundFail = fileNameEdit(this, fileDialogs, "edSoundFail", false);
    edSoundFail->setToolTip(soundHint);
    edSoundFail->setFilter(soundFilter);
    edSoundFail->setText(QStringLiteral("Carbrake.wav"));
    btnTestSound1 = testButton(this, "btnTestSound1");
    chbRepeatWarn = checkBox(this, "chbRepeatWarn", QStringLiteral("Repeat until confirmed"), false);
    Label2 = label(this, "Label2", QStringLiteral("Repeat Interval:"));
    seRepeatInterval = new TSpinEdit(this);
    seRepeatInterval->setObjectName(QStringLiteral("seRepeatInterval"));
    seRepeatInterval->setRange(1, 1000);
    seRepeatInterval->setSingleStep(5);
    seRepeatInterval->setValue(10);
    Label4 = label(this, "Label4", QStringLiteral("Sec."));
    chSoundBack =
        checkBox(this, "chSoundBack", QStringLiteral("Play sound when connection is back to more than 70%"), true);
    edSoundBack = fileNameEdit(this, fileDialogs, "edSoundBack", false);
    edSoundBack->setToolTip(soundHint);
    edSoundBack->setFilter(soundFilter);
    edSoundBack->setText(QStringLiteral("Chimes.wav"));
    btnTestSound2 = testButton(this, "btnTestSound2");
    chUseLogging = checkBox(this, "chUseLogging", QStringLiteral("Log connection details to a file"), false);

    gbDetails = new QGroupBox(QStringLiteral("Details"), this);
    gbDetails->setObjectName(QStringLiteral("gbDetails"));
    Label1 = label(gbDetails, "Label1", QStringLiteral("Log File:"));
    edLogFile = fileNameEdit(gbDetails, fileDialogs, "edLogFile", true);
    edLogFile->setFilter(QStringLiteral("Logfiles (*.log)|*.log"));
    edLogFile->setNewFileAllowed(true);
    chLogChanges =
        checkBox(gbDetails, "chLogChanges", QStringLiteral("Log Changes (fall below 30%, rise above 70%)"), true);
    chLogAverages = checkBox(gbDetails, "chLogAverages", QStringLiteral("Log Averages, use time period:"), true);
    edPeriod = lineEdit(gbDetails, "edPeriod", QStringLiteral("10"));
    cbPeriod = new QComboBox(gbDetails);
    cbPeriod->setObjectName(QStringLiteral("cbPeriod"));
    cbPeriod->setEditable(false);
    cbPeriod->addItems(
        {QStringLiteral("Seconds"), QStringLiteral("Minutes"), QStringLiteral("Hours"), QStringLiteral("Days")});
    cbPeriod->setCurrentIndex(0);
    chLimitKb = checkBox(gbDetails, "chLimitKb", QStringLiteral("Limit logfile's size to: "), true);
    edLimitKb = lineEdit(gbDetails, "edLimitKb", QStringLiteral("30"));
    Label3 = label(gbDetails, "Label3", QStringLiteral("kB"));

    btOK = new QPushButton(QStringLiteral("OK"), this);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setIcon(icons::checkMark());
    btOK->setDefault(true);

    gbDesktop = new QGroupBox(QStringLiteral("Desktop and network"), this);
    gbDesktop->setObjectName(QStringLiteral("gbDesktop"));
    chMinimiseToTray = checkBox(gbDesktop, "chMinimiseToTray",
                                QStringLiteral("Minimise to the tray when the window is closed"), false);
    lbNoTray = label(gbDesktop, "lbNoTray", QStringLiteral("This desktop has no system tray."));
    lbNoTray->setEnabled(false);
    lbNoTray->hide();
    chNotifications = checkBox(gbDesktop, "chNotifications",
                               QStringLiteral("Show desktop notifications when the connection changes"), true);
    chPreferIPv6 = checkBox(gbDesktop, "chPreferIPv6",
                            QStringLiteral("Prefer IPv6 for hosts that have both kinds of address"), false);
    chTracePath = checkBox(gbDesktop, "chTracePath",
                           QStringLiteral("Trace the path to the host, hop by hop (more packets)"), false);
}

void TLogForm::SetTrayAvailable(bool available) {
    chMinimiseToTray->setEnabled(available);
    chMinimiseToTray->setToolTip(available ? QString() : lbNoTray->text());
    lbNoTray->setVisible(!available);
}

void TLogForm::placeControls() {
    // Left, top, width, height; members of gbDetails relative to the group.
    // A label's width of 0 means "as wide as its caption".
    // clang-format off
    const std::initializer_list<std::pair<QWidget*, QRect>> places = {
        {chSoundFail,      {24, 8, 273, 17}},
        {edSoundFail,      {48, 32, 289, 21}},
        {btnTestSound1,    {344, 32, 23, 22}},
        {chbRepeatWarn,    {48, 58, 145, 17}},
        {Label2,           {200, 60, 0, 13}},
        {seRepeatInterval, {280, 56, 57, 21}},
        {Label4,           {344, 60, 0, 13}},
        {chSoundBack,      {24, 80, 297, 17}},
        {edSoundBack,      {48, 104, 289, 21}},
        {btnTestSound2,    {344, 104, 23, 22}},
        {chUseLogging,     {24, 136, 233, 17}},
        {gbDetails,        {8, 160, 361, 161}},
        {Label1,           {16, 28, 0, 13}},
        {edLogFile,        {64, 24, 281, 21}},
        {chLogChanges,     {16, 64, 249, 17}},
        {chLogAverages,    {16, 96, 177, 17}},
        {edPeriod,         {208, 94, 41, 21}},
        {cbPeriod,         {256, 94, 89, 21}},
        {chLimitKb,        {16, 128, 161, 17}},
        {edLimitKb,        {208, 126, 41, 21}},
        {Label3,           {256, 130, 0, 13}},
        {gbDesktop,        {8, 328, 361, 115}},
        {chMinimiseToTray, {16, 20, 329, 17}},
        {lbNoTray,         {34, 38, 0, 13}},
        {chNotifications,  {16, 56, 329, 17}},
        {chPreferIPv6,     {16, 74, 329, 17}},
        {chTracePath,      {16, 92, 329, 17}},
        {btOK,             {152, 458, 75, 25}},
    };
    // clang-format on
    for (const auto& [widget, rect] : places)
        widget->setGeometry(rect);
    fitCaptions();
}

// The positions suit a narrow window font; the usual Linux sans-serif faces
// are wider. So the font is condensed just enough for every caption to fit
// before the next control on its row, and captions then grow into free room.
void TLogForm::fitCaptions() {
    QList<QWidget*> captioned;
    for (QWidget* parent :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(gbDetails), static_cast<QWidget*>(gbDesktop)})
        for (QWidget* child : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (!captionOf(child).isEmpty())
                captioned << child;

    // Text widths do not shrink exactly in proportion, so start from the
    // estimate and condense further while a caption still does not fit.
    double scale = 1.0;
    for (QWidget* widget : std::as_const(captioned)) {
        const int textWidth = widget->fontMetrics().horizontalAdvance(captionOf(widget));
        const int besideText = widget->sizeHint().width() - textWidth;
        if (textWidth > 0)
            scale = std::min(scale, double(roomFor(widget) - besideText) / textWidth);
    }
    const auto allFit = [&] {
        return std::all_of(captioned.cbegin(), captioned.cend(),
                           [this](QWidget* widget) { return widget->sizeHint().width() <= roomFor(widget); });
    };
    for (int stretch = std::clamp(int(100 * scale), minimumStretch, 100); stretch >= minimumStretch && !allFit();
         --stretch) {
        QFont condensed = font();
        condensed.setStretch(stretch);
        setFont(condensed);
    }
    for (QWidget* widget : std::as_const(captioned)) {
        const int wanted = std::min(widget->sizeHint().width(), roomFor(widget));
        if (wanted > widget->width())
            widget->resize(wanted, widget->height());
    }
}

int TLogForm::roomFor(const QWidget* widget) const {
    const QWidget* parent = widget->parentWidget();
    const QRect own = widget->geometry();
    int right = parent->width() - captionMargin;
    for (const QWidget* other : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect rect = other->geometry();
        const bool sameRow = rect.top() <= own.bottom() && rect.bottom() >= own.top();
        if (other != widget && sameRow && rect.left() > own.left())
            right = std::min(right, rect.left() - captionMargin);
    }
    return right - own.left();
}

void TLogForm::orderTabs() {
    const std::initializer_list<QWidget*> order = {
        chUseLogging,     edLogFile,       chLogChanges, chLogAverages, edPeriod,
        cbPeriod,         edLimitKb,       chLimitKb,    btOK,          chSoundFail,
        edSoundFail,      chSoundBack,     edSoundBack,  chbRepeatWarn, seRepeatInterval,
        chMinimiseToTray, chNotifications, chPreferIPv6, chTracePath,
    };
    QWidget* previous = nullptr;
    for (QWidget* widget : order) {
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
}

void TLogForm::connectControls() {
    connect(chUseLogging, &QCheckBox::toggled, this, &TLogForm::chUseLoggingClick);
    connect(chSoundFail, &QCheckBox::toggled, this, &TLogForm::chSoundFailClick);
    connect(chSoundBack, &QCheckBox::toggled, this, &TLogForm::chSoundBackClick);
    connect(btnTestSound1, &QToolButton::clicked, this, &TLogForm::btnTestSound1Click);
    connect(btnTestSound2, &QToolButton::clicked, this, &TLogForm::btnTestSound2Click);
    connect(btOK, &QPushButton::clicked, this, &TLogForm::btOKClick);
    for (QCheckBox* box : {chSoundFail, chbRepeatWarn, chSoundBack, chLogChanges, chLogAverages, chLimitKb,
                           chMinimiseToTray, chNotifications, chPreferIPv6, chTracePath})
        connect(box, &QCheckBox::toggled, this, &TLogForm::pushOptions);
    for (TFileNameEdit* edit : {edSoundFail, edSoundBack})
        connect(edit, &TFileNameEdit::textChanged, this, &TLogForm::pushOptions);
    for (QLineEdit* edit : {edPeriod, edLimitKb})
        connect(edit, &QLineEdit::textChanged, this, &TLogForm::pushOptions);
    connect(seRepeatInterval, &TSpinEdit::valueChanged, this, &TLogForm::pushOptions);
    connect(cbPeriod, &QComboBox::currentIndexChanged, this, &TLogForm::pushOptions);
}

int TLogForm::RepeatIntervalSeconds() const {
    return seRepeatInterval->value();
}

void TLogForm::chUseLoggingClick() {
    gbDetails->setVisible(chUseLogging->isChecked());
}

void TLogForm::chSoundFailClick() {
    edSoundFail->setVisible(chSoundFail->isChecked());
}

void TLogForm::chSoundBackClick() {
    edSoundBack->setVisible(chSoundBack->isChecked());
}

void TLogForm::btnTestSound1Click() {
    if (m_sound)
        m_sound->PlaySound(edSoundFail->text());
}

void TLogForm::btnTestSound2Click() {
    if (m_sound)
        m_sound->PlaySound(edSoundBack->text());
}

// The dialog stays on screen, and so is the parent of every message its
// steps show, until the processing is over; then it closes, also when a
// step ended it with an error.
void TLogForm::btOKClick() {
    okProcessing();
    accept();
}

void TLogForm::keyPressEvent(QKeyEvent* event) {
    // Without a Cancel button Escape must not close the dialog.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
