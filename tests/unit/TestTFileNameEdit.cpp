#include "ScriptedFileDialogs.h"
#include "logform/TFileNameEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

class TestTFileNameEdit : public QObject {
    Q_OBJECT
private:
    ScriptedFileDialogs m_dialogs;
    QWidget* m_window = nullptr;
    TFileNameEdit* m_field = nullptr;

    QToolButton* button() const { return m_field->findChild<QToolButton*>(QStringLiteral("browseButton")); }
    QLineEdit* edit() const { return m_field->findChild<QLineEdit*>(QStringLiteral("edit")); }
    void clickBrowse() {
        QVERIFY(button());
        QTest::mouseClick(button(), Qt::LeftButton);
    }

private slots:
    void init() {
        m_dialogs = ScriptedFileDialogs();
        m_window = new QWidget;
        m_window->resize(320, 60);
        m_field = new TFileNameEdit(&m_dialogs, m_window);
        m_field->setGeometry(10, 10, 289, 21);
        m_field->setFilter(QStringLiteral("Sound files (*.wav)|*.wav|All files (*.*)|*.*"));
        m_field->setText(QStringLiteral("Carbrake.wav"));
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }
    void cleanup() {
        delete m_window;
        m_window = nullptr;
    }

    void buttonSitsInsideTheField() {
        QVERIFY(button());
        QVERIFY(button()->isVisible());
        QVERIFY(!button()->icon().pixmap(16).isNull());
        const QRect inField(button()->mapTo(m_field, QPoint(0, 0)), button()->size());
        QVERIFY(m_field->rect().contains(inField));
        QCOMPARE(inField.right(), m_field->width() - 1 - 2);
        QCOMPARE(m_field->size(), QSize(289, 21));
    }

    void chosenFileReplacesText_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("shown");
        QTest::newRow("path without blank") << "/usr/share/sounds/ding.wav"
                                            << "/usr/share/sounds/ding.wav";
        QTest::newRow("blank in folder") << "/home/ann/My Sounds/ding.wav"
                                         << "\"/home/ann/My Sounds/ding.wav\"";
        QTest::newRow("blank in name") << "/tmp/door bell.wav"
                                       << "\"/tmp/door bell.wav\"";
        QTest::newRow("already quoted") << "\"/tmp/door bell.wav\""
                                        << "\"/tmp/door bell.wav\"";
    }
    void chosenFileReplacesText() {
        QFETCH(QString, chosen);
        QFETCH(QString, shown);
        m_dialogs.answers << chosen;
        clickBrowse();
        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_field->text(), shown);
        QCOMPARE(edit()->text(), shown);
    }

    void cancelKeepsText() {
        m_field->setText(QStringLiteral("\"/tmp/door bell.wav\""));
        clickBrowse();
        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_field->text(), QStringLiteral("\"/tmp/door bell.wav\""));
    }

    void dialogGetsTitleFilterAndParent() {
        clickBrowse();
        QCOMPARE(m_dialogs.calls.size(), 1);
        const ScriptedFileDialogs::Call& call = m_dialogs.calls.constFirst();
        QCOMPARE(call.title, QStringLiteral("Browse"));
        QCOMPARE(call.filter, QStringLiteral("Sound files (*.wav)|*.wav|All files (*.*)|*.*"));
        QCOMPARE(call.parent, m_field);
    }

    void dialogStartsAtTheCurrentFile_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("startDirectory");
        QTest::addColumn<QString>("proposedName");
        const QString tmp = QDir::tempPath();
        QTest::newRow("bare name") << "Carbrake.wav"
                                   << ""
                                   << "Carbrake.wav";
        QTest::newRow("existing folder") << tmp + "/bell.wav" << tmp << tmp + "/bell.wav";
        QTest::newRow("missing folder") << tmp + "/no-such-folder-here/bell.wav"
                                        << "" << tmp + "/no-such-folder-here/bell.wav";
        QTest::newRow("quoted, existing folder") << "\"" + tmp + "/door bell.wav\"" << tmp << tmp + "/door bell.wav";
        QTest::newRow("quoted bare name") << "\"door bell.wav\""
                                          << ""
                                          << "door bell.wav";
        QTest::newRow("root folder") << "/bell.wav"
                                     << "/"
                                     << "/bell.wav";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }
    void dialogStartsAtTheCurrentFile() {
        QFETCH(QString, text);
        QFETCH(QString, startDirectory);
        QFETCH(QString, proposedName);
        m_field->setText(text);
        clickBrowse();
        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_dialogs.calls.constFirst().startDirectory, startDirectory);
        QCOMPARE(m_dialogs.calls.constFirst().proposedName, proposedName);
    }

    void folderWithBlankIsFound() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.path() + "/My Sounds";
        QVERIFY(QDir().mkpath(folder));
        m_field->setText("\"" + folder + "/ding.wav\"");
        clickBrowse();
        QCOMPARE(m_dialogs.calls.constFirst().startDirectory, folder);
    }

    void altDownOpensTheDialog() {
        m_field->setFocus();
        QTest::keyClick(edit(), Qt::Key_Down);
        QCOMPARE(m_dialogs.calls.size(), 0);
        m_dialogs.answers << "/tmp/other.wav";
        QTest::keyClick(edit(), Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_field->text(), QStringLiteral("/tmp/other.wav"));
    }

    void browseButtonTakesNoFocus() {
        m_field->setFocus();
        clickBrowse();
        QVERIFY(edit()->hasFocus());
    }

    void withoutTypingTheTextOnlyChangesByDialog() {
        m_field->setTypingAllowed(false);
        m_field->setFocus();
        QTest::keyClicks(edit(), "abc");
        QTest::keyClick(edit(), Qt::Key_Backspace);
        QTest::keyClick(edit(), Qt::Key_Home);
        QTest::keyClick(edit(), Qt::Key_Delete);
        QCOMPARE(m_field->text(), QStringLiteral("Carbrake.wav"));

        QApplication::clipboard()->setText(QStringLiteral("pasted.wav"));
        QTest::keyClick(edit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_field->text(), QStringLiteral("Carbrake.wav"));
        QTest::keyClick(edit(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(m_field->text(), QStringLiteral("Carbrake.wav"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("pasted.wav"));

        // Copying the name out still works.
        QTest::keyClick(edit(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Carbrake.wav"));
    }

    void withTypingTheUserEditsTheName() {
        m_field->setTypingAllowed(true);
        m_field->setText(QString());
        m_field->setFocus();
        QTest::keyClicks(edit(), "/var/log/link.log");
        QCOMPARE(m_field->text(), QStringLiteral("/var/log/link.log"));
        QApplication::clipboard()->setText(QStringLiteral("/tmp/pasted.log"));
        QTest::keyClick(edit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_field->text(), QStringLiteral("/tmp/pasted.log"));
    }
};

QTEST_MAIN(TestTFileNameEdit)
#include "TestTFileNameEdit.moc"
