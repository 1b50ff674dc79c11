#include "TMainForm.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TMainForm MainForm;
    MainForm.show();
    return app.exec();
}
