#pragma once

#include <QApplication>

class IMessageBoxes;

// The application object. An error that leaves an event handler ends that
// handler only: it is caught here, in one place, and shown in the error box
// (error symbol, the application's title as caption, the message with a full
// stop added when its last character sorts after "."); the event loop goes
// on. Qt never sees an exception.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Where errors are shown; the desktop's message boxes unless set.
    static void SetMessageBoxes(IMessageBoxes* boxes);
    // The message boxes in use: those set, else the desktop's.
    static IMessageBoxes& Boxes();
    // Shows an error the way the error box does.
    static void ShowException(const QString& message);
    // The text the error box shows for a message.
    static QString ErrorBoxText(const QString& message);
};
