#pragma once

#include <QAbstractSpinBox>

// A spin field for whole numbers. Unlike QSpinBox it lets the user type any
// run of digits and signs, even one outside the range, and only settles the
// number when the field loses focus: out of range goes to the nearer bound,
// a text that is no number goes to the minimum. Other characters are refused
// with a beep.
class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int singleStep() const { return m_step; }
    void setRange(int minimum, int maximum);
    void setSingleStep(int step);

    // The number shown, brought within minimum..maximum; a text that is no
    // whole number counts as the minimum.
    int value() const;
    // Shows `value`, brought to the nearer bound when outside the range.
    void setValue(int value);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

signals:
    void valueChanged(int value);

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int bounded(qint64 value) const;
    // Replaces the typed text by the number it stands for.
    void settle();
    void emitIfChanged();

    int m_minimum = 0;
    int m_maximum = 99;
    int m_step = 1;
    int m_lastValue = 0;
};
