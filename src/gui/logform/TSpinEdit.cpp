#include "logform/TSpinEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

bool isNumberCharacter(QChar c) {
    return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-');
}

bool onlyNumberCharacters(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), isNumberCharacter);
}

// The whole number in `text`, saturated when it has too many digits; nothing
// when the text is no whole number at all.
std::optional<qint64> wholeNumber(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (ok)
        return number;
    return text.startsWith(QLatin1Char('-')) ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}

} // namespace

TSpinEdit::TSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    lineEdit()->setText(QString::number(m_minimum));
    m_lastValue = m_minimum;
    connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::emitIfChanged);
}

void TSpinEdit::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setValue(value());
}

void TSpinEdit::setSingleStep(int step) {
    m_step = std::max(1, step);
}

int TSpinEdit::value() const {
    const std::optional<qint64> number = wholeNumber(text());
    return number ? bounded(*number) : m_minimum;
}

void TSpinEdit::setValue(int value) {
    const QString shown = QString::number(bounded(value));
    if (shown != text())
        lineEdit()->setText(shown);
}

void TSpinEdit::stepBy(int steps) {
    setValue(bounded(qint64(value()) + qint64(steps) * m_step));
    selectAll();
}

QValidator::State TSpinEdit::validate(QString& input, int& /*pos*/) const {
    return onlyNumberCharacters(input) ? QValidator::Acceptable : QValidator::Invalid;
}

void TSpinEdit::fixup(QString& input) const {
    const std::optional<qint64> number = wholeNumber(input);
    input = QString::number(number ? bounded(*number) : m_minimum);
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
    if (isReadOnly())
        return StepNone;
    StepEnabled enabled = StepNone;
    if (value() < m_maximum)
        enabled |= StepUpEnabled;
    if (value() > m_minimum)
        enabled |= StepDownEnabled;
    return enabled;
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    // Refuse the character here rather than only in validate(): the line
    // edit drops invalid input silently, but the user should hear it.
    const QString typed = event->text();
    const bool isCommand = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!isCommand && !typed.isEmpty() && typed.at(0).isPrint() && !onlyNumberCharacters(typed)) {
        QApplication::beep();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        settle();
    QAbstractSpinBox::keyPressEvent(event);
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    settle();
    QAbstractSpinBox::focusOutEvent(event);
}

int TSpinEdit::bounded(qint64 value) const {
    return int(std::clamp<qint64>(value, m_minimum, m_maximum));
}

void TSpinEdit::settle() {
    QString shown = text();
    fixup(shown);
    if (shown != text())
        lineEdit()->setText(shown);
}

void TSpinEdit::emitIfChanged() {
    const int current = value();
    if (current != m_lastValue) {
        m_lastValue = current;
        emit valueChanged(current);
    }
}
