#include "logform/QtFileDialogs.h"

#include <QTest>

class TestQtFileDialogs : public QObject {
    Q_OBJECT
private slots:
    void filterConversion_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qtFilter");
        QTest::newRow("sound files") << "Sound files (*.wav)|*.wav|All files (*.*)|*.*"
                                     << "Sound files (*.wav);;All files (*)";
        QTest::newRow("one pair") << "Logfiles (*.log)|*.log"
                                  << "Logfiles (*.log)";
        QTest::newRow("description without patterns") << "Logfiles|*.log"
                                                      << "Logfiles (*.log)";
        QTest::newRow("pattern half wins") << "Sounds (*.wav)|*.wav;*.mp3"
                                           << "Sounds (*.wav *.mp3)";
        QTest::newRow("empty pattern half") << "Anything|"
                                            << "Anything (*)";
        QTest::newRow("description only") << "Logfiles (*.log)"
                                          << "Logfiles (*.log)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void filterConversion() {
        QFETCH(QString, filter);
        QFETCH(QString, qtFilter);
        QCOMPARE(QtFileDialogs::toQtFilter(filter), qtFilter);
    }
};

QTEST_GUILESS_MAIN(TestQtFileDialogs)
#include "TestQtFileDialogs.moc"
