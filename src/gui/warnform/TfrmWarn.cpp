#include "TfrmWarn.h"

#include "Fonts.h"
#include "resources/Icons.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TfrmWarn::TfrmWarn(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmWarn"));
    setWindowTitle(QStringLiteral("Linkvigil Warning"));
    setWindowIcon(icons::program());
    setFont(fonts::windowFont());
    setFixedSize(352, 142);
    setModal(false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 16, 32, 32);
    Image1->setPixmap(icons::pixmap(icons::warning(), 32));
    Label1 = new QLabel(QStringLiteral("Linkvigil Warning"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(72, 16, 206, 17);
    Label1->setFont(fonts::arial(15, true, true));
    lbMessage = new QLabel(QStringLiteral("Msg"), this);
    lbMessage->setObjectName(QStringLiteral("lbMessage"));
    lbMessage->setGeometry(72, 40, 241, 49);
    lbMessage->setWordWrap(true);
    lbMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    btnOK = new QPushButton(icons::checkMark(), QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(144, 104, 75, 25);
    btnOK->setDefault(true);
    btnOK->setFocus();
    connect(btnOK, &QPushButton::clicked, this, &TfrmWarn::btnOKClick);
}

void TfrmWarn::ShowWarning(const QString& message) {
    lbMessage->setText(message);
    if (!m_placed) {
        m_placed = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    show();
    raise();
}

void TfrmWarn::btnOKClick() {
    hide();
    emit confirmed();
}
