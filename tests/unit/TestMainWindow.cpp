#include "AppTitle.h"
#include "MonitorFixture.h"
#include "TestMain.h"
#include "logform/TFileNameEdit.h"
#include "widgets/TBevelPanel.h"
#include "widgets/TChartBox.h"
#include "widgets/TGauge.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolTip>

// The main window as a person sees it: the layout, the commands beside the
// monitoring, the start-up order and the tool tips.
class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    TMainForm* m = nullptr;

    void create(const QByteArray& ini = {}) {
        f = std::make_unique<MonitorFixture>();
        if (!ini.isEmpty()) {
            QFile file(f->folder.filePath(QStringLiteral("Linkvigil.ini")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini);
        }
        f->create();
        m = f->main.get();
    }

private slots:
    void init() { create(); }
    void cleanup() { f.reset(); }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("cbConnectTo") << "cbConnectTo" << QRect(152, 8, 257, 21) << "";
        QTest::newRow("edInterval") << "edInterval" << QRect(152, 56, 137, 21) << "";
        QTest::newRow("edTimeout") << "edTimeout" << QRect(152, 80, 137, 21) << "";
        QTest::newRow("btnViewLog") << "btnViewLog" << QRect(296, 72, 113, 25) << "&View Log ...";
        QTest::newRow("LoggingButton") << "LoggingButton" << QRect(296, 104, 113, 25) << "Settings / &Logs";
        QTest::newRow("ggReliab") << "ggReliab" << QRect(152, 112, 137, 17) << "";
        QTest::newRow("StartButton") << "StartButton" << QRect(152, 136, 65, 25) << "Start";
        QTest::newRow("StopButton") << "StopButton" << QRect(224, 136, 67, 25) << "Stop";
        QTest::newRow("SaveButton") << "SaveButton" << QRect(296, 136, 113, 25) << "&Save Settings";
        QTest::newRow("Panel1") << "Panel1" << QRect(56, 168, 353, 105) << "";
        QTest::newRow("StatusBar") << "StatusBar" << QRect(0, 274, 427, 19) << "";
        QTest::newRow("IPlabel") << "IPlabel" << QRect(152, 32, 191, 13) << "Type in a valid IP-address or web-adress";
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto* w = m->findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->geometry(), geometry);
        if (auto* b = qobject_cast<QPushButton*>(w))
            QCOMPARE(b->text(), text);
        if (auto* l = qobject_cast<QLabel*>(w))
            QCOMPARE(l->text(), text);
    }

    void labelsKeepTheirPlaceAndTexts() {
        const struct {
            const char* name;
            QPoint at;
            const char* text;
        } labels[] = {{"Label1", {8, 8}, "Check connection to:"}, {"Label2", {8, 56}, "Interval in msec:"},
                      {"Label3", {8, 80}, "Time-out in msec:"},   {"Label7", {8, 112}, "Reliability:"},
                      {"lbHelp", {8, 136}, "Help File"},          {"InfoLabel", {64, 136}, "Web Info"}};
        for (const auto& l : labels) {
            auto* label = m->findChild<QLabel*>(QString::fromLatin1(l.name));
            QVERIFY2(label, l.name);
            QCOMPARE(label->pos(), l.at);
            QCOMPARE(label->text(), QString::fromLatin1(l.text));
        }
        QCOMPARE(m->lbHelp->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(m->InfoLabel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(m->lbHelp->font().underline());
        // The legend is right-aligned with its right edge at x = 47.
        for (QLabel* legend : {m->lbLegendTop, m->lbLegendMid, m->lbLegendBtm}) {
            QCOMPARE(legend->geometry().right() + 1, 47);
            QVERIFY(legend->alignment() & Qt::AlignRight);
        }
        QCOMPARE(m->lbLegendTop->y(), 168);
        QCOMPARE(m->lbLegendMid->y(), 215);
        QCOMPARE(m->lbLegendBtm->y(), 258);
        QCOMPARE(m->lbLegendBtm->text(), QStringLiteral("0 ms"));
    }

    void windowAndChart() {
        QCOMPARE(m->size(), QSize(427, 293));
        QCOMPARE(m->minimumSize(), m->maximumSize()); // fixed border
        QCOMPARE(m->pos(), QPoint(200, 108));
        QCOMPARE(m->FBox->parentWidget(), static_cast<QWidget*>(m->Panel1));
        QCOMPARE(m->FBox->geometry(), QRect(4, 4, 345, 97));
        QCOMPARE(m->Chart.image().size(), QSize(345, 97));
        QCOMPARE(m->ggReliab->Text(), QStringLiteral("0%"));
        QVERIFY(!m->StartButton->icon().isNull());
        QVERIFY(!m->StopButton->icon().isNull());
        QVERIFY(!m->btnViewLog->icon().isNull());
        QVERIFY(!m->SaveButton->icon().isNull());
        QVERIFY(!m->windowIcon().isNull());
    }

    void tabOrder() {
        m->show();
        QVERIFY(QTest::qWaitForWindowActive(m));
        m->cbConnectTo->setFocus();
        const QList<QWidget*> expected = {m->edInterval, m->edTimeout,  m->StartButton, m->LoggingButton,
                                          m->Panel1,     m->btnViewLog, m->SaveButton,  m->cbConnectTo};
        QList<QWidget*> seen;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            seen << (m->cbConnectTo->isAncestorOf(focus) ? m->cbConnectTo : focus);
        }
        // Stop is skipped while it is disabled.
        QCOMPARE(seen, expected);
    }

    void hintsGoOffWithStart() {
        m->show();
        QVERIFY(QTest::qWaitForWindowExposed(m));
        const QPoint at = m->edInterval->mapToGlobal(QPoint(2, 2));
        QHelpEvent before(QEvent::ToolTip, QPoint(2, 2), at);
        QCoreApplication::sendEvent(m->edInterval, &before);
        QTRY_COMPARE(QToolTip::text(), m->edInterval->toolTip());
        QToolTip::hideText();
        QTRY_VERIFY(QToolTip::text().isEmpty());
        m->StartButtonClick();
        QHelpEvent after(QEvent::ToolTip, QPoint(2, 2), at);
        QCoreApplication::sendEvent(m->edInterval, &after);
        QTest::qWait(50);
        QVERIFY(QToolTip::text().isEmpty());
        m->StopButtonClick();
        QVERIFY(!m->ShowHint); // off for the rest of the run
    }

    void helpOpensTheDocumentByItsFullPath() {
        QFile pdf(f->folder.filePath(QStringLiteral("linkvigil.pdf")));
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.close();
        const QString elsewhere = QDir::currentPath();
        QDir::setCurrent(QDir::rootPath()); // as from a menu: another current folder
        m->lbHelpClick();
        QDir::setCurrent(elsewhere);
        QCOMPARE(f->shell.opened, QStringList{f->folder.filePath(QStringLiteral("linkvigil.pdf"))});
        QVERIFY(f->boxes.shown.isEmpty());
    }

    void missingHelpGivesOneMessagePerClick() {
        m->show();
        QVERIFY(QTest::qWaitForWindowExposed(m));
        QTest::mouseClick(m->lbHelp, Qt::LeftButton);
        QTest::mouseClick(m->lbHelp, Qt::LeftButton);
        QCOMPARE(f->boxes.shown.size(), 2);
        QVERIFY(f->boxes.shown[0].kind == IMessageBoxes::Kind::Error);
        QCOMPARE(f->boxes.shown[0].text, QStringLiteral("Unable to find help file!"));
        QCOMPARE(f->boxes.shown[0].buttons, int(IMessageBoxes::OK));
        QVERIFY(f->shell.opened.isEmpty());
    }

    void webInfoOpensTheShippedPage() {
        m->show();
        QVERIFY(QTest::qWaitForWindowExposed(m));
        QTest::mouseClick(m->InfoLabel, Qt::LeftButton);
        QCOMPARE(f->shell.opened, QStringList{f->folder.filePath(QStringLiteral("linkvigil.html"))});
    }

    void viewLogPassesTheWholePath() {
        create("[Logging]\r\nLogFile=/tmp/my logs/Connect today.log\r\n");
        QTest::mouseClick(m->btnViewLog, Qt::LeftButton);
        QCOMPARE(f->shell.edited, QStringList{QStringLiteral("/tmp/my logs/Connect today.log")});
        QVERIFY(f->boxes.shown.isEmpty()); // no check that it exists
    }

    void dialogCreatedSecondReadsTheMainWindowsLogFile() {
        create("[Logging]\r\nLogFile=/var/tmp/lv.log\r\n");
        QCOMPARE(LogForm->edLogFile->text(), QStringLiteral("/var/tmp/lv.log"));
        QCOMPARE(m->LogFileName, QStringLiteral("/var/tmp/lv.log"));
        QVERIFY(frmWarn->isHidden());
        QVERIFY(LogForm->isHidden());
    }

    void errorBoxAddsAFullStop() {
        QCOMPARE(TApplication::ErrorBoxText(QStringLiteral("Unable to write to /x")),
                 QStringLiteral("Unable to write to /x."));
        QCOMPARE(TApplication::ErrorBoxText(QStringLiteral("Done.")), QStringLiteral("Done."));
        QCOMPARE(TApplication::ErrorBoxText(QStringLiteral("(x)")), QStringLiteral("(x)"));
        QCOMPARE(TApplication::ErrorBoxText(QStringLiteral("Try again?")), QStringLiteral("Try again?."));
        QCOMPARE(TApplication::ErrorBoxText(QString()), QString());
        QCOMPARE(TitleFromExecutable(QStringLiteral("/opt/x/LinkVigil.bin.exe")), QStringLiteral("Linkvigil"));
        QCOMPARE(TitleFromExecutable(QStringLiteral("/usr/bin/linkvigil")), QStringLiteral("linkvigil"));
    }
};

LINKVIGIL_TEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
