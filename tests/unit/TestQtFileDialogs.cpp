#include "logform/QtFileDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

    // A person types the name of a file that does not exist yet and presses
    // Enter: the log's browse takes it, the open-file browse does not.
    void newNameTakenOnlyWhereAllowed_data() {
        QTest::addColumn<bool>("newFileAllowed");
        QTest::newRow("log file") << true;
        QTest::newRow("sound file") << false;
    }
    void newNameTakenOnlyWhereAllowed() {
        QFETCH(bool, newFileAllowed);
        QTemporaryDir folder;
        const QString name = folder.filePath(QStringLiteral("fresh.log"));
        QTimer typist;
        int enters = 0;
        connect(&typist, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) {
                if (modal) // the dialog's own "file not found" box
                    modal->close();
                return;
            }
            if (enters++ > 0) { // still open after Enter: the name was refused
                dialog->reject();
                return;
            }
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(edit);
            edit->clear();
            QTest::keyClicks(edit, QStringLiteral("fresh.log"));
            // Posted: a refused name opens a nested box, and this timer
            // must be free to close it.
            QMetaObject::invokeMethod(
                edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); }, Qt::QueuedConnection);
        });
        typist.start(100);
        QtFileDialogs dialogs;
        const QString filter = QStringLiteral("Logfiles (*.log)|*.log");
        const QString chosen =
            newFileAllowed
                ? dialogs.ChooseNewOrExistingFile(nullptr, QStringLiteral("Browse"), filter, folder.path(), QString())
                : dialogs.OpenFile(nullptr, QStringLiteral("Browse"), filter, folder.path(), QString());
        QCOMPARE(chosen, newFileAllowed ? name : QString());
        QVERIFY(!QFile::exists(name)); // choosing creates nothing
    }
};

QTEST_MAIN(TestQtFileDialogs)
#include "TestQtFileDialogs.moc"
