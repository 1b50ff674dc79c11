#include "icmp/ReadyWaiter.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

class CountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter(this).fillRect(rect(), Qt::white);
    }
};

} // namespace

// The wait of an echo on the user-interface thread: it must return on data
// or at its deadline, and the window must keep painting meanwhile.
class TestReadyWaiter : public QObject {
    Q_OBJECT
    int fds[2] = {-1, -1};

private slots:
    void init() { QVERIFY(socketpair(AF_UNIX, SOCK_DGRAM, 0, fds) == 0); }
    void cleanup() {
        ::close(fds[0]);
        ::close(fds[1]);
    }

    void windowPaintsUntilTheDeadline() {
        CountingWidget widget;
        widget.resize(100, 50);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        const int before = widget.paints;
        QTimer repaint;
        connect(&repaint, &QTimer::timeout, &widget, qOverload<>(&QWidget::update));
        repaint.start(20);

        EventLoopWaiter waiter;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!waiter.waitReady(fds[0], 400));
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 395 && elapsed < 500, qPrintable(QString::number(elapsed)));
        QVERIFY2(widget.paints - before >= 10, qPrintable(QString::number(widget.paints - before)));
    }

    // Typing during the wait reaches the field only after it, in order.
    void inputWaitsForTheEcho() {
        QLineEdit field;
        field.show();
        QVERIFY(QTest::qWaitForWindowActive(&field));
        QString during = QStringLiteral("unset");
        QTimer::singleShot(50, this, [&] { QTest::keyClicks(&field, QStringLiteral("ab")); });
        QTimer::singleShot(150, this, [&] { during = field.text(); });
        EventLoopWaiter waiter;
        QVERIFY(!waiter.waitReady(fds[0], 300));
        QCOMPARE(during, QString());
        QCoreApplication::sendPostedEvents(); // the held keys come first, as in the event loop
        QTest::keyClick(&field, Qt::Key_C);
        QCOMPARE(field.text(), QStringLiteral("abc"));
    }

    // A release that comes after the wait, before the held press is handed
    // on, waits behind it: the click is not lost, nor the box left down.
    void releaseAfterTheWaitFollowsItsPress() {
        QCheckBox box(QStringLiteral("box"));
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        EventLoopWaiter waiter;
        QTimer::singleShot(30, this, [&] { QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(4, 4)); });
        QVERIFY(!waiter.waitReady(fds[0], 100));
        QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(4, 4));
        QCoreApplication::sendPostedEvents();
        QVERIFY(box.isChecked());
        QVERIFY(!box.isDown());
    }

    // A held click that opens a dialog: the rest of the held input is
    // handed on in the dialog's loop, and the dialog takes input as usual
    // instead of waiting behind its own caller.
    void dialogOpenedByHeldInputTakesInput() {
        QPushButton open(QStringLiteral("open"));
        QLineEdit field;
        open.show();
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        QString fieldMeanwhile = QStringLiteral("unset");
        QString typedInDialog;
        connect(&open, &QPushButton::clicked, this, [&] {
            QDialog dialog;
            auto* own = new QLineEdit(&dialog);
            QTimer::singleShot(50, &dialog, [&] {
                fieldMeanwhile = field.text();
                QTest::keyClicks(own, QStringLiteral("x"));
                typedInDialog = own->text();
                dialog.accept();
            });
            dialog.exec();
        });
        EventLoopWaiter waiter;
        QTimer::singleShot(30, this, [&] {
            QTest::mouseClick(&open, Qt::LeftButton);
            QTest::keyClicks(&field, QStringLiteral("ab"));
        });
        QVERIFY(!waiter.waitReady(fds[0], 100));
        QTRY_COMPARE(typedInDialog, QStringLiteral("x"));
        QCOMPARE(fieldMeanwhile, QStringLiteral("ab"));
    }

    // A held event can end the wait at once (Stop does): the wait returns,
    // abandoned() tells the caller this once, and the event itself is
    // still handed on afterwards. The next wait waits again.
    void heldInputCanEndTheWait() {
        QLineEdit field;
        field.show();
        QVERIFY(QTest::qWaitForWindowActive(&field));
        const int watch =
            EventLoopWaiter::watchHeldInput([](QObject*, const QEvent&) { EventLoopWaiter::interruptWait(); });
        EventLoopWaiter waiter;
        QTimer::singleShot(50, this, [&] { QTest::keyClick(&field, Qt::Key_A); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!waiter.waitReady(fds[0], 10000));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(waiter.abandoned());
        EventLoopWaiter::unwatchHeldInput(watch);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(field.text(), QStringLiteral("a"));
        clock.restart();
        QVERIFY(!waiter.waitReady(fds[0], 100));
        QVERIFY(clock.elapsed() >= 95 && !waiter.abandoned());
    }

    void returnsWhenDataArrives() {
        EventLoopWaiter waiter;
        QTimer::singleShot(50, this, [this] { (void)::write(fds[1], "x", 1); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(waiter.waitReady(fds[0], 2000));
        QVERIFY(clock.elapsed() < 500);
    }

    void dataAlreadyQueuedReturnsAtOnce() {
        (void)::write(fds[1], "x", 1);
        EventLoopWaiter waiter;
        QVERIFY(waiter.waitReady(fds[0], 2000));
    }

    // Closing the program ends a long wait at once, and later waits too.
    void quittingEndsTheWait() {
        EventLoopWaiter waiter;
        qint64 elapsed = -1;
        QTimer::singleShot(0, this, [&] {
            QTimer::singleShot(100, qApp, &QCoreApplication::quit);
            QElapsedTimer clock;
            clock.start();
            waiter.waitReady(fds[0], 10000);
            waiter.waitReady(fds[0], 10000);
            elapsed = clock.elapsed();
        });
        QCoreApplication::exec();
        QVERIFY2(elapsed >= 0 && elapsed < 500, qPrintable(QString::number(elapsed)));
        QVERIFY(waiter.abandoned());
    }

    void otherThreadsPoll() {
        bool ready = true;
        std::thread([&] {
            EventLoopWaiter waiter;
            ready = waiter.waitReady(fds[0], 100);
        }).join();
        QVERIFY(!ready);
    }
};

QTEST_MAIN(TestReadyWaiter)
#include "TestReadyWaiter.moc"
