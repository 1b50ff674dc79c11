#pragma once

#include <QString>

#include <stdexcept>

// The general error of the program: a message for the user, shown by the
// application's error box when it leaves an event handler.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& Message() const { return m_message; }

private:
    QString m_message;
};
