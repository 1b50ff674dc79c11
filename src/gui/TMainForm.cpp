#include "TMainForm.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Linkvigil"));
    resize(427, 293);
}
