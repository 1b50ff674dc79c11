#include "TApplication.h"

#include "Exception.h"
#include "seams/QtMessageBoxes.h"

namespace {

IMessageBoxes* g_boxes = nullptr;

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::SetMessageBoxes(IMessageBoxes* boxes) {
    g_boxes = boxes;
}

QString TApplication::ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

IMessageBoxes& TApplication::Boxes() {
    static QtMessageBoxes desktop;
    return g_boxes ? *g_boxes : desktop;
}

void TApplication::ShowException(const QString& message) {
    Boxes().ShowError(ErrorBoxText(message));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception& e) {
        ShowException(e.Message());
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    }
    return false;
}
