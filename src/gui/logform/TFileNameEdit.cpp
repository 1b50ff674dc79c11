#include "logform/TFileNameEdit.h"

#include "resources/Icons.h"
#include "seams/IFileDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

TFileNameEdit::TFileNameEdit(IFileDialogs* fileDialogs, QWidget* parent)
    : QWidget(parent), m_fileDialogs(fileDialogs), m_edit(new QLineEdit(this)), m_button(new QToolButton(m_edit)) {
    m_edit->setObjectName(QStringLiteral("edit"));
    m_edit->installEventFilter(this);
    m_button->setObjectName(QStringLiteral("browseButton"));
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setCursor(Qt::ArrowCursor);
    m_button->setAutoRaise(true);
    m_button->setIcon(icons::folder());
    // The field itself takes part in the tab order and hands focus to its edit.
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_edit);
    connect(m_button, &QToolButton::clicked, this, &TFileNameEdit::browse);
    connect(m_edit, &QLineEdit::textChanged, this, &TFileNameEdit::textChanged);
}

QString TFileNameEdit::text() const {
    return m_edit->text();
}

void TFileNameEdit::setText(const QString& text) {
    m_edit->setText(text);
}

bool TFileNameEdit::typingAllowed() const {
    return !m_edit->isReadOnly();
}

// A read-only line edit refuses typing, pasting and cutting, yet still lets
// the user select and copy the name.
void TFileNameEdit::setTypingAllowed(bool allowed) {
    m_edit->setReadOnly(!allowed);
}

QString TFileNameEdit::unquoted(const QString& name) {
    QString result = name.trimmed();
    if (result.startsWith(QLatin1Char('"')))
        result.remove(0, 1);
    if (result.endsWith(QLatin1Char('"')))
        result.chop(1);
    return result;
}

QString TFileNameEdit::quotedIfBlank(const QString& path) {
    if (path.contains(QLatin1Char(' ')) && !path.startsWith(QLatin1Char('"')))
        return QLatin1Char('"') + path + QLatin1Char('"');
    return path;
}

void TFileNameEdit::browse() {
    if (!m_fileDialogs)
        return;
    const QString name = unquoted(text());
    const QString title = QStringLiteral("Browse");
    const QString chosen =
        m_newFileAllowed ? m_fileDialogs->ChooseNewOrExistingFile(this, title, m_filter, startDirectory(name), name)
                         : m_fileDialogs->OpenFile(this, title, m_filter, startDirectory(name), name);
    if (!chosen.isEmpty())
        setText(quotedIfBlank(chosen));
}

QString TFileNameEdit::startDirectory(const QString& name) const {
    // A bare name has no folder of its own; the dialog then picks its own.
    if (!name.contains(QLatin1Char('/')))
        return {};
    const QString folder = QFileInfo(name).path();
    return QDir(folder).exists() ? folder : QString();
}

bool TFileNameEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier)) {
            browse();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFileNameEdit::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_edit->setGeometry(rect());
    // The button sits inside the edit's frame; the text stops short of it.
    const int frame = 2;
    const int side = std::max(0, height() - 2 * frame);
    m_button->setGeometry(width() - frame - side, frame, side, side);
    m_edit->setTextMargins(0, 0, side, 0);
}
