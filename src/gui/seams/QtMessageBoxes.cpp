#include "QtMessageBoxes.h"

#include "AppTitle.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString captionFor(IMessageBoxes::Kind kind) {
    switch (kind) {
    case IMessageBoxes::Kind::Information:
        return QStringLiteral("Information");
    case IMessageBoxes::Kind::Confirmation:
        return QStringLiteral("Confirm");
    case IMessageBoxes::Kind::Error:
        return QStringLiteral("Error");
    case IMessageBoxes::Kind::Plain:
        break;
    }
    return ApplicationTitle();
}

QMessageBox::Icon iconFor(IMessageBoxes::Kind kind) {
    switch (kind) {
    case IMessageBoxes::Kind::Information:
        return QMessageBox::Information;
    case IMessageBoxes::Kind::Confirmation:
        return QMessageBox::Question;
    case IMessageBoxes::Kind::Error:
        return QMessageBox::Critical;
    case IMessageBoxes::Kind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

IMessageBoxes::Button QtMessageBoxes::Ask(Kind kind, const QString& text, int buttons) {
    QMessageBox box(iconFor(kind), captionFor(kind), text, QMessageBox::NoButton, QApplication::activeWindow());
    const struct {
        Button button;
        const char* caption;
        QMessageBox::ButtonRole role;
    } order[] = {{Yes, "&Yes", QMessageBox::YesRole},
                 {No, "&No", QMessageBox::NoRole},
                 {OK, "OK", QMessageBox::AcceptRole},
                 {Cancel, "Cancel", QMessageBox::RejectRole}};
    QList<QPair<QAbstractButton*, Button>> made;
    for (const auto& b : order) {
        if (buttons & b.button) {
            QPushButton* pushButton = box.addButton(QString::fromLatin1(b.caption), b.role);
            if (made.isEmpty())
                box.setDefaultButton(pushButton);
            made.append({pushButton, b.button});
        }
    }
    if (made.size() == 1)
        box.setEscapeButton(made.first().first);
    box.exec();
    for (const auto& [pushButton, button] : made)
        if (box.clickedButton() == pushButton)
            return button;
    return made.size() == 1 ? made.first().second : Cancel;
}

void QtMessageBoxes::ShowError(const QString& message) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), message, QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}
