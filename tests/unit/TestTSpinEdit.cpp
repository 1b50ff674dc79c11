#include "logform/TSpinEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <limits>

// The repeat-interval field as the settings dialog sets it up: 1..1000, step 5.
class TestTSpinEdit : public QObject {
    Q_OBJECT
private:
    QWidget* m_window = nullptr;
    TSpinEdit* m_spin = nullptr;
    QLineEdit* m_other = nullptr;

    void replaceTextBy(const QString& typed) {
        m_spin->setFocus();
        QTest::keyClick(m_spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_spin, Qt::Key_Delete);
        QTest::keyClicks(m_spin, typed);
    }
    void leaveField() {
        m_other->setFocus();
        QVERIFY(!m_spin->hasFocus());
    }

private slots:
    void init() {
        m_window = new QWidget;
        m_window->resize(200, 60);
        m_spin = new TSpinEdit(m_window);
        m_spin->setGeometry(10, 10, 57, 21);
        m_spin->setRange(1, 1000);
        m_spin->setSingleStep(5);
        m_spin->setValue(10);
        m_other = new QLineEdit(m_window);
        m_other->setGeometry(100, 10, 60, 21);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_spin->setFocus();
        QVERIFY(m_spin->hasFocus());
    }
    void cleanup() {
        delete m_window;
        m_window = nullptr;
    }

    void typedNumberSettlesWhenFocusLeaves_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("valueWhileTyping");
        QTest::addColumn<QString>("shownAfterLeaving");
        QTest::newRow("inside") << "500" << 500 << "500";
        QTest::newRow("below minimum") << "0" << 1 << "1";
        QTest::newRow("above maximum") << "2000" << 1000 << "1000";
        QTest::newRow("exactly minimum") << "1" << 1 << "1";
        QTest::newRow("exactly maximum") << "1000" << 1000 << "1000";
        QTest::newRow("plus sign") << "+5" << 5 << "5";
        QTest::newRow("minus sign") << "-5" << 1 << "1";
        QTest::newRow("leading zeros") << "007" << 7 << "7";
        QTest::newRow("empty") << "" << 1 << "1";
        QTest::newRow("sign only") << "-" << 1 << "1";
        QTest::newRow("sign after digits") << "5-" << 1 << "1";
        QTest::newRow("two signs") << "+-3" << 1 << "1";
        QTest::newRow("too many digits") << "99999999999999999999999" << 1000 << "1000";
        QTest::newRow("too many digits negative") << "-99999999999999999999999" << 1 << "1";
    }
    void typedNumberSettlesWhenFocusLeaves() {
        QFETCH(QString, typed);
        QFETCH(int, valueWhileTyping);
        QFETCH(QString, shownAfterLeaving);
        replaceTextBy(typed);
        QCOMPARE(m_spin->text(), typed);
        QCOMPARE(m_spin->value(), valueWhileTyping);
        leaveField();
        QCOMPARE(m_spin->text(), shownAfterLeaving);
        QCOMPARE(m_spin->value(), valueWhileTyping);
    }

    void otherCharactersAreRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letters only") << "abc"
                                      << "";
        QTest::newRow("letters between digits") << "1a2"
                                                << "12";
        QTest::newRow("decimal point") << "1.5"
                                       << "15";
        QTest::newRow("blank") << "3 4"
                               << "34";
        QTest::newRow("signs and digits pass") << "-+9"
                                               << "-+9";
    }
    void otherCharactersAreRefused() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        replaceTextBy(typed);
        QCOMPARE(m_spin->text(), shown);
    }

    void pastedTextWithLettersIsRefused() {
        QApplication::clipboard()->setText(QStringLiteral("12ab"));
        QTest::keyClick(m_spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_spin, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_spin->text(), QStringLiteral("10"));
        QApplication::clipboard()->setText(QStringLiteral("25"));
        QTest::keyClick(m_spin, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_spin->value(), 25);
    }

    void arrowKeysStepWithinRange_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("presses");
        QTest::addColumn<int>("expected");
        QTest::newRow("up once") << 10 << int(Qt::Key_Up) << 1 << 15;
        QTest::newRow("up three times") << 10 << int(Qt::Key_Up) << 3 << 25;
        QTest::newRow("down once") << 10 << int(Qt::Key_Down) << 1 << 5;
        QTest::newRow("down stops at minimum") << 10 << int(Qt::Key_Down) << 3 << 1;
        QTest::newRow("up from odd value") << 7 << int(Qt::Key_Up) << 1 << 12;
        QTest::newRow("up stops at maximum") << 998 << int(Qt::Key_Up) << 2 << 1000;
        QTest::newRow("up at maximum") << 1000 << int(Qt::Key_Up) << 1 << 1000;
        QTest::newRow("down at minimum") << 1 << int(Qt::Key_Down) << 1 << 1;
    }
    void arrowKeysStepWithinRange() {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, presses);
        QFETCH(int, expected);
        m_spin->setValue(start);
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(m_spin, Qt::Key(key));
        QCOMPARE(m_spin->value(), expected);
        QCOMPARE(m_spin->text(), QString::number(expected));
    }

    void arrowKeyStepsFromTypedNumber() {
        replaceTextBy(QStringLiteral("2000"));
        QTest::keyClick(m_spin, Qt::Key_Down);
        QCOMPARE(m_spin->text(), QStringLiteral("995"));
    }

    void buttonsStep() {
        const QPoint upButton(m_spin->width() - 4, 4);
        const QPoint downButton(m_spin->width() - 4, m_spin->height() - 4);
        QTest::mouseClick(m_spin, Qt::LeftButton, Qt::NoModifier, upButton);
        QCOMPARE(m_spin->value(), 15);
        QTest::mouseClick(m_spin, Qt::LeftButton, Qt::NoModifier, downButton);
        QTest::mouseClick(m_spin, Qt::LeftButton, Qt::NoModifier, downButton);
        QTest::mouseClick(m_spin, Qt::LeftButton, Qt::NoModifier, downButton);
        QCOMPARE(m_spin->value(), 1);
    }

    void programValueIsBounded_data() {
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("expected");
        QTest::newRow("far above") << 5000 << 1000;
        QTest::newRow("negative") << -3 << 1;
        QTest::newRow("zero") << 0 << 1;
        QTest::newRow("inside") << 250 << 250;
        QTest::newRow("largest int") << std::numeric_limits<int>::max() << 1000;
        QTest::newRow("smallest int") << std::numeric_limits<int>::min() << 1;
    }
    void programValueIsBounded() {
        QFETCH(int, set);
        QFETCH(int, expected);
        m_spin->setValue(set);
        QCOMPARE(m_spin->value(), expected);
        QCOMPARE(m_spin->text(), QString::number(expected));
    }

    void valueChangedReportsEachNewValueOnce() {
        QSignalSpy spy(m_spin, &TSpinEdit::valueChanged);
        QTest::keyClick(m_spin, Qt::Key_Up);
        m_spin->setValue(15);
        replaceTextBy(QStringLiteral("2000"));
        leaveField();
        QList<int> seen;
        for (const QList<QVariant>& arguments : spy)
            seen << arguments.at(0).toInt();
        QCOMPARE(seen, (QList<int>{15, 1, 2, 20, 200, 1000}));
    }
};

QTEST_MAIN(TestTSpinEdit)
#include "TestTSpinEdit.moc"
