#include "AppTitle.h"
#include "MonitorFixture.h"
#include "TestMain.h"
#include "icmp/AddressText.h"
#include "icmp/ReadyWaiter.h"
#include "logform/TFileNameEdit.h"
#include "widgets/TBevelPanel.h"
#include "widgets/TChartBox.h"
#include "widgets/TGauge.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <sys/socket.h>
#include <unistd.h>

// The main window as a person sees it: the layout, the commands beside the
// monitoring, the start-up order and the tool tips.
class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;
    TMainForm* m = nullptr;

    // From now on every echo waits as one to a silent host does: for `ms`,
    // or until it is interrupted, with the windows live meanwhile.
    void echoesWait(int ms) {
        const std::shared_ptr<int[]> pair(new int[2]{-1, -1}, [](int* fd) {
            ::close(fd[0]);
            ::close(fd[1]);
            delete[] fd;
        });
        QVERIFY(socketpair(AF_UNIX, SOCK_DGRAM, 0, pair.get()) == 0);
        f->echo->duringEcho = [pair, ms] { EventLoopWaiter().waitReady(pair[0], ms); };
    }

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

    // The desktop has no program for PDF documents: a box names the guide
    // so that it can be opened by hand.
    void helpWithoutAViewerSaysSo() {
        const QString help = f->folder.filePath(QStringLiteral("linkvigil.pdf"));
        QFile pdf(help);
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.close();
        f->shell.handlerKnown = false;
        m->lbHelpClick();
        QCOMPARE(f->shell.opened, QStringList{help});
        QCOMPARE(f->boxes.shown.size(), 1);
        QVERIFY(f->boxes.shown[0].kind == IMessageBoxes::Kind::Error);
        QVERIFY2(f->boxes.shown[0].text.contains(help), qPrintable(f->boxes.shown[0].text));
        QCOMPARE(f->boxes.shown[0].buttons, int(IMessageBoxes::OK));
    }

    void webInfoOpensTheShippedPage() {
        m->show();
        QVERIFY(QTest::qWaitForWindowExposed(m));
        QTest::mouseClick(m->InfoLabel, Qt::LeftButton);
        QCOMPARE(f->shell.opened, QStringList{f->folder.filePath(QStringLiteral("linkvigil.html"))});
    }

    // The log goes to the text editor by its full path, whatever its name:
    // never to the desktop's opener, which would run a *.desktop or *.sh.
    void viewLogOpensTheEditorWithTheWholePath_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("blanks") << QByteArray("/tmp/my logs/Connect today.log");
        QTest::newRow("launcher") << QByteArray("/tmp/evil.desktop");
        QTest::newRow("script") << QByteArray("/tmp/run.sh");
    }
    void viewLogOpensTheEditorWithTheWholePath() {
        QFETCH(QByteArray, name);
        create("[Logging]\r\nLogFile=" + name + "\r\n");
        QTest::mouseClick(m->btnViewLog, Qt::LeftButton);
        QCOMPARE(f->shell.edited, QStringList{QString::fromUtf8(name)});
        QVERIFY(f->shell.opened.isEmpty());
        QVERIFY(f->boxes.shown.isEmpty()); // no check that it exists
    }

    void viewLogWithoutAnEditorSaysSo() {
        f->shell.editorKnown = false;
        QTest::mouseClick(m->btnViewLog, Qt::LeftButton);
        QCOMPARE(f->boxes.shown.size(), 1);
        QVERIFY(f->boxes.shown[0].text.startsWith("No text editor is set up on this desktop to show the log " +
                                                  f->folder.filePath("Connect.log")));
    }

    // Typed into the real box: "Host" in the list does not turn "host" into
    // "Host", and "192.0.2.10" does not complete "192.0.2.1".
    void addressBoxKeepsWhatWasTyped_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::newRow("other case, Tab") << QByteArray("Host") << "host" << int(Qt::Key_Tab);
        QTest::newRow("other case, Enter") << QByteArray("Host") << "host" << int(Qt::Key_Return);
        QTest::newRow("prefix, Tab") << QByteArray("192.0.2.10") << "192.0.2.1" << int(Qt::Key_Tab);
        QTest::newRow("prefix, Enter") << QByteArray("192.0.2.10") << "192.0.2.1" << int(Qt::Key_Return);
    }
    void addressBoxKeepsWhatWasTyped() {
        QFETCH(QByteArray, entry);
        QFETCH(QString, typed);
        QFETCH(int, key);
        create("[Addresses]\r\nCount=1\r\nAddress01=" + entry + "\r\n");
        m->show();
        QVERIFY(QTest::qWaitForWindowActive(m));
        m->cbConnectTo->setFocus();
        m->cbConnectTo->lineEdit()->selectAll();
        QTest::keyClicks(m->cbConnectTo->lineEdit(), typed);
        QTest::keyClick(m->cbConnectTo->lineEdit(), Qt::Key(key));
        if (key == Qt::Key_Return)
            m->Engine->TimerTimer(); // Enter pressed Start; the first tick looks the host up
        QCOMPARE(m->cbConnectTo->currentText(), typed);
        if (!f->lookup->started.empty()) {
            QCOMPARE(f->lookup->last().name, typed.toUtf8());
            f->lookup->complete(f->lookup->last().id, 0, inet::parse(QStringLiteral("192.0.2.7")));
        }
        QTRY_COMPARE(m->cbConnectTo->count(), 2);
        QCOMPARE(m->cbConnectTo->itemText(0), typed);
        QCOMPARE(m->cbConnectTo->itemText(1), QString::fromUtf8(entry));
        // The recent hosts are still offered in the drop-down list.
        m->cbConnectTo->showPopup();
        QCOMPARE(m->cbConnectTo->view()->model()->rowCount(), 2);
        m->cbConnectTo->hidePopup();
    }

    // Each label shows its whole text, the longest ones included: the
    // address label grows to the right, the legends to the left of x = 47.
    void labelsShowTheirWholeText() {
        m->show();
        QVERIFY(QTest::qWaitForWindowExposed(m));
        m->edTimeout->setText(QStringLiteral("10000"));
        m->edTimeoutExit();
        const auto fits = [](QLabel* label) {
            return label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
        };
        for (QLabel* legend : {m->lbLegendTop, m->lbLegendMid, m->lbLegendBtm}) {
            QVERIFY2(fits(legend), qPrintable(legend->text()));
            QCOMPARE(legend->geometry().right() + 1, 47);
            QVERIFY2(legend->x() >= 0, qPrintable(QString::number(legend->x()))); // inside the window
        }
        QCOMPARE(m->lbLegendTop->text(), QStringLiteral("10000 ms"));
        QVERIFY(fits(m->IPlabel));
        QCOMPARE(m->IPlabel->x(), 152);
        f->echo->answers.push_back(EchoResult{0, 11003, {}});
        m->cbConnectTo->setEditText(QStringLiteral("192.168.100.200"));
        m->cbConnectToExit();
        m->StartButtonClick();
        m->Engine->TimerTimer();
        QCOMPARE(m->IPlabel->text(), QStringLiteral("192.168.100.200: Destination host unreachable"));
        // Every status text after the longest address.
        for (std::uint32_t status : {11002u, 11004u, 11005u, 11014u, 11018u, 11050u, 11255u, 4294967295u}) {
            f->echo->answers.push_back(EchoResult{0, status, {}});
            m->Engine->TimerTimer();
            QVERIFY2(fits(m->IPlabel), qPrintable(m->IPlabel->text()));
            QVERIFY2(m->IPlabel->geometry().right() < m->width(), qPrintable(m->IPlabel->text()));
        }
    }

    void dialogCreatedSecondReadsTheMainWindowsLogFile() {
        create("[Logging]\r\nLogFile=/var/tmp/lv.log\r\n");
        QCOMPARE(LogForm->edLogFile->text(), QStringLiteral("/var/tmp/lv.log"));
        QCOMPARE(m->Engine->LogFileName, QStringLiteral("/var/tmp/lv.log"));
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

    // Stop pressed while an echo to a silent host waits: the echo ends at
    // once and Stop is carried out. The echo counts as neither answered nor
    // lost, and the next Start sends a new one.
    void stopDuringAnEchoEndsItAtOnce_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("click") << "click";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("tray menu") << "tray";
    }
    void stopDuringAnEchoEndsItAtOnce() {
        QFETCH(QString, how);
        echoesWait(5000);
        m->show();
        QVERIFY(QTest::qWaitForWindowActive(m));
        f->startWatching(QStringLiteral("192.0.2.7"));
        const QRgb untouched = m->Chart.image().pixel(0, 1);
        m->Panel1->setFocus();
        QTimer::singleShot(100, this, [&] {
            if (how == "click")
                QTest::mouseClick(m->windowHandle(), Qt::LeftButton, {}, m->StopButton->geometry().center());
            else if (how == "escape")
                QTest::keyClick(m->windowHandle(), Qt::Key_Escape);
            else
                m->StopCommand();
        });
        QElapsedTimer clock;
        clock.start();
        m->Engine->TimerTimer();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY(!m->StopButton->isEnabled() && !m->Engine->Running());
        QCOMPARE(m->Engine->ReliabilityIndex, 1000);
        QCOMPARE(m->Engine->ChartColumn, 0);
        QCOMPARE(m->IPlabel->text(), QStringLiteral("IP-Address: 192.0.2.7"));
        QCOMPARE(m->Chart.image().pixel(0, 1), untouched); // no lost echo's bar
        QCOMPARE(m->Engine->MonitorState, Resolved);       // Start sends the next echo
    }

    // Clicks and typing in the settings dialog while two echoes in a row
    // wait, the pointer moving on after them: other input does not end an
    // echo, and afterwards every click has toggled its box and every key
    // has reached its field, in order.
    void inputDuringEchoesReachesTheDialog() {
        echoesWait(300);
        f->startWatching(QStringLiteral("192.0.2.7"));
        LogForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(LogForm));
        LogForm->chUseLogging->setChecked(true); // shows the log's fields
        LogForm->edPeriod->clear();
        QWindow* dialog = LogForm->windowHandle();
        const auto at = [](QWidget* w) { return w->mapTo(w->window(), QPoint(4, w->height() / 2)); };
        const auto click = [&](QWidget* w) { QTest::mouseClick(dialog, Qt::LeftButton, {}, at(w)); };
        QCheckBox* const boxes[] = {LogForm->chbRepeatWarn, LogForm->chLogChanges, LogForm->chPreferIPv6};
        const bool before[] = {boxes[0]->isChecked(), boxes[1]->isChecked(), boxes[2]->isChecked()};
        const auto echoWith = [&](const std::function<void()>& input) {
            QTimer::singleShot(50, this, [&] {
                input();
                QTest::mouseMove(dialog, QPoint(2, 2));
            });
            QElapsedTimer clock;
            clock.start();
            m->Engine->TimerTimer();
            QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
        };
        echoWith([&] {
            click(boxes[0]);
            click(LogForm->edPeriod);
            QTest::keyClick(dialog, Qt::Key_1);
            QTest::keyClick(dialog, Qt::Key_2);
        });
        echoWith([&] {
            QTest::keyClick(dialog, Qt::Key_3); // the field still has the focus
            click(boxes[1]);
            click(boxes[2]);
        });
        QCOMPARE(LogForm->edPeriod->text(), QString());
        QTRY_COMPARE(LogForm->edPeriod->text(), QStringLiteral("123"));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(boxes[i]->isChecked() != before[i], qPrintable(boxes[i]->objectName()));
    }
};

LINKVIGIL_TEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
