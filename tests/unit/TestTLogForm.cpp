#include "RecordingSound.h"
#include "ScriptedFileDialogs.h"
#include "logform/TFileNameEdit.h"
#include "logform/TLogForm.h"
#include "logform/TSpinEdit.h"
#include "settings/MonitorProfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

class TestTLogForm : public QObject {
    Q_OBJECT
private:
    RecordingSound m_sound;
    ScriptedFileDialogs m_dialogs;
    std::unique_ptr<TLogForm> m_form;

    QWidget* control(const QString& name) const { return m_form->findChild<QWidget*>(name); }
    void showForm() {
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }
    // The named control that owns the focus widget (the inner edit of a
    // compound field counts as the field).
    QString focusedControl() const {
        for (QWidget* widget = QApplication::focusWidget(); widget && widget != m_form.get();
             widget = widget->parentWidget()) {
            if (widget->parentWidget() == m_form.get() || widget->parentWidget() == m_form->gbDetails ||
                widget->parentWidget() == m_form->gbDesktop)
                return widget->objectName();
        }
        return {};
    }

private slots:
    void init() {
        m_sound.played.clear();
        m_dialogs = ScriptedFileDialogs();
        m_form = std::make_unique<TLogForm>(nullptr, nullptr, &m_sound, &m_dialogs);
    }
    void cleanup() { m_form.reset(); }

    void window() {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(m_form->size(), QSize(384, 490));
        QCOMPARE(m_form->minimumSize(), QSize(384, 490));
        QCOMPARE(m_form->maximumSize(), QSize(384, 490));
        QCOMPARE(m_form->font().pixelSize(), 11);
    }

    void geometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inDetails");
        // Captions may grow wider than their place to show their whole text;
        // a width of 0 fixes only the position.
        QTest::addColumn<QRect>("rect");
        QTest::newRow("chSoundFail") << "chSoundFail" << false << QRect(24, 8, 273, 17);
        QTest::newRow("edSoundFail") << "edSoundFail" << false << QRect(48, 32, 289, 21);
        QTest::newRow("btnTestSound1") << "btnTestSound1" << false << QRect(344, 32, 23, 22);
        QTest::newRow("chbRepeatWarn") << "chbRepeatWarn" << false << QRect(48, 58, 145, 17);
        QTest::newRow("Label2") << "Label2" << false << QRect(200, 60, 0, 0);
        QTest::newRow("seRepeatInterval") << "seRepeatInterval" << false << QRect(280, 56, 57, 21);
        QTest::newRow("Label4") << "Label4" << false << QRect(344, 60, 0, 0);
        QTest::newRow("chSoundBack") << "chSoundBack" << false << QRect(24, 80, 297, 17);
        QTest::newRow("edSoundBack") << "edSoundBack" << false << QRect(48, 104, 289, 21);
        QTest::newRow("btnTestSound2") << "btnTestSound2" << false << QRect(344, 104, 23, 22);
        QTest::newRow("chUseLogging") << "chUseLogging" << false << QRect(24, 136, 233, 17);
        QTest::newRow("gbDetails") << "gbDetails" << false << QRect(8, 160, 361, 161);
        QTest::newRow("Label1") << "Label1" << true << QRect(16, 28, 0, 0);
        QTest::newRow("edLogFile") << "edLogFile" << true << QRect(64, 24, 281, 21);
        QTest::newRow("chLogChanges") << "chLogChanges" << true << QRect(16, 64, 249, 17);
        QTest::newRow("chLogAverages") << "chLogAverages" << true << QRect(16, 96, 177, 17);
        QTest::newRow("edPeriod") << "edPeriod" << true << QRect(208, 94, 41, 21);
        QTest::newRow("cbPeriod") << "cbPeriod" << true << QRect(256, 94, 89, 21);
        QTest::newRow("chLimitKb") << "chLimitKb" << true << QRect(16, 128, 161, 17);
        QTest::newRow("edLimitKb") << "edLimitKb" << true << QRect(208, 126, 41, 21);
        QTest::newRow("Label3") << "Label3" << true << QRect(256, 130, 0, 0);
        QTest::newRow("btOK") << "btOK" << false << QRect(152, 458, 75, 25);
    }
    void geometry() {
        QFETCH(QString, name);
        QFETCH(bool, inDetails);
        QFETCH(QRect, rect);
        QWidget* widget = control(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->parentWidget(), inDetails ? static_cast<QWidget*>(m_form->gbDetails) : m_form.get());
        QCOMPARE(widget->pos(), rect.topLeft());
        if (rect.width() == 0)
            return;
        QCOMPARE(widget->height(), rect.height());
        if (qobject_cast<QCheckBox*>(widget))
            QVERIFY(widget->width() >= rect.width());
        else
            QCOMPARE(widget->width(), rect.width());
    }

    void captionsAreWholeAndNothingOverlaps() {
        m_form->chUseLogging->setChecked(true);
        showForm();
        m_form->SetTrayAvailable(false);
        for (QWidget* parent : {static_cast<QWidget*>(m_form.get()), static_cast<QWidget*>(m_form->gbDetails),
                                static_cast<QWidget*>(m_form->gbDesktop)}) {
            QList<QWidget*> controls;
            for (QWidget* widget : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                if (!widget->objectName().isEmpty() && widget->isVisible())
                    controls << widget;
            for (QWidget* widget : std::as_const(controls)) {
                const QByteArray name = widget->objectName().toLatin1();
                QVERIFY2(parent->rect().contains(widget->geometry()), name);
                if (qobject_cast<QLabel*>(widget) || qobject_cast<QCheckBox*>(widget))
                    QVERIFY2(widget->width() >= widget->sizeHint().width(),
                             name + " " + QByteArray::number(widget->width()) + " < " +
                                 QByteArray::number(widget->sizeHint().width()) + " stretch " +
                                 QByteArray::number(widget->font().stretch()));
                for (QWidget* other : std::as_const(controls))
                    QVERIFY2(other == widget || !other->geometry().intersects(widget->geometry()),
                             name + " overlaps " + other->objectName().toLatin1());
            }
        }
    }

    // With every control shown, the button is below all of them and close
    // to the dialog's bottom edge.
    void okButtonIsTheLowestControl() {
        m_form->chUseLogging->setChecked(true);
        showForm();
        m_form->SetTrayAvailable(false);
        const QRect ok = m_form->btOK->geometry();
        for (QWidget* widget : m_form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (widget != m_form->btOK && !widget->objectName().isEmpty() && widget->isVisible())
                QVERIFY2(widget->geometry().bottom() < ok.top(), widget->objectName().toLatin1());
        QVERIFY(ok.bottom() < m_form->height());
        QVERIFY(m_form->height() - ok.bottom() <= 12);
    }

    void captions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("chSoundFail") << "chSoundFail"
                                     << "Play warning sound when connection falls below 30%";
        QTest::newRow("chbRepeatWarn") << "chbRepeatWarn"
                                       << "Repeat until confirmed";
        QTest::newRow("Label2") << "Label2"
                                << "Repeat Interval:";
        QTest::newRow("Label4") << "Label4"
                                << "Sec.";
        QTest::newRow("chSoundBack") << "chSoundBack"
                                     << "Play sound when connection is back to more than 70%";
        QTest::newRow("chUseLogging") << "chUseLogging"
                                      << "Log connection details to a file";
        QTest::newRow("Label1") << "Label1"
                                << "Log File:";
        QTest::newRow("chLogChanges") << "chLogChanges"
                                      << "Log Changes (fall below 30%, rise above 70%)";
        QTest::newRow("chLogAverages") << "chLogAverages"
                                       << "Log Averages, use time period:";
        QTest::newRow("chLimitKb") << "chLimitKb"
                                   << "Limit logfile's size to: ";
        QTest::newRow("Label3") << "Label3"
                                << "kB";
        QTest::newRow("btOK") << "btOK"
                              << "OK";
    }
    void captions() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QWidget* widget = control(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->property("text").toString(), caption);
    }

    void initialValues() {
        QCOMPARE(m_form->gbDetails->title(), QStringLiteral("Details"));
        QCOMPARE(m_form->edSoundFail->text(), QStringLiteral("Carbrake.wav"));
        QCOMPARE(m_form->edSoundBack->text(), QStringLiteral("Chimes.wav"));
        QCOMPARE(m_form->edLogFile->text(), QString());
        QCOMPARE(m_form->edPeriod->text(), QStringLiteral("10"));
        QCOMPARE(m_form->edLimitKb->text(), QStringLiteral("30"));
        QCOMPARE(m_form->seRepeatInterval->value(), 10);
        QCOMPARE(m_form->RepeatIntervalSeconds(), 10);
        QCOMPARE(m_form->seRepeatInterval->minimum(), 1);
        QCOMPARE(m_form->seRepeatInterval->maximum(), 1000);
        QCOMPARE(m_form->seRepeatInterval->singleStep(), 5);

        QVERIFY(!m_form->cbPeriod->isEditable());
        QStringList items;
        for (int i = 0; i < m_form->cbPeriod->count(); ++i)
            items << m_form->cbPeriod->itemText(i);
        QCOMPARE(items, (QStringList{"Seconds", "Minutes", "Hours", "Days"}));
        QCOMPARE(m_form->cbPeriod->currentIndex(), 0);
        QVERIFY(m_form->btOK->isDefault());
        QVERIFY(!m_form->btOK->icon().pixmap(16).isNull());
    }

    void initialChecks_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("checked");
        QTest::newRow("chSoundFail") << "chSoundFail" << true;
        QTest::newRow("chbRepeatWarn") << "chbRepeatWarn" << false;
        QTest::newRow("chSoundBack") << "chSoundBack" << true;
        QTest::newRow("chUseLogging") << "chUseLogging" << false;
        QTest::newRow("chLogChanges") << "chLogChanges" << true;
        QTest::newRow("chLogAverages") << "chLogAverages" << true;
        QTest::newRow("chLimitKb") << "chLimitKb" << true;
    }
    void initialChecks() {
        QFETCH(QString, name);
        QFETCH(bool, checked);
        auto* box = qobject_cast<QCheckBox*>(control(name));
        QVERIFY2(box, qPrintable(name));
        QCOMPARE(box->isChecked(), checked);
    }

    void fileFields() {
        const QString hint = QStringLiteral("Click on the small folder icon to change");
        const QString soundFilter = QStringLiteral("Sound files (*.wav)|*.wav|All files (*.*)|*.*");
        QCOMPARE(m_form->edSoundFail->toolTip(), hint);
        QCOMPARE(m_form->edSoundBack->toolTip(), hint);
        QCOMPARE(m_form->edSoundFail->filter(), soundFilter);
        QCOMPARE(m_form->edSoundBack->filter(), soundFilter);
        QCOMPARE(m_form->edLogFile->filter(), QStringLiteral("Logfiles (*.log)|*.log"));
        QVERIFY(!m_form->edSoundFail->typingAllowed());
        QVERIFY(!m_form->edSoundBack->typingAllowed());
        QVERIFY(m_form->edLogFile->typingAllowed());
    }

    void testButtons() {
        for (QToolButton* button : {m_form->btnTestSound1, m_form->btnTestSound2}) {
            QCOMPARE(button->toolTip(), QStringLiteral("Test!"));
            QVERIFY(!button->icon().pixmap(16).isNull());
        }
    }

    void initialVisibility() {
        showForm();
        QVERIFY(!m_form->gbDetails->isVisible());
        for (QWidget* widget :
             {static_cast<QWidget*>(m_form->edSoundFail), static_cast<QWidget*>(m_form->edSoundBack),
              static_cast<QWidget*>(m_form->btnTestSound1), static_cast<QWidget*>(m_form->btnTestSound2),
              static_cast<QWidget*>(m_form->chbRepeatWarn), static_cast<QWidget*>(m_form->seRepeatInterval),
              static_cast<QWidget*>(m_form->btOK)})
            QVERIFY2(widget->isVisible(), qPrintable(widget->objectName()));
    }

    void tabOrder() {
        m_form->chUseLogging->setChecked(true);
        showForm();
        m_form->chUseLogging->setFocus();
        const QStringList expected = {
            "chUseLogging",     "edLogFile",       "chLogChanges", "chLogAverages", "edPeriod",
            "cbPeriod",         "edLimitKb",       "chLimitKb",    "btOK",          "chSoundFail",
            "edSoundFail",      "chSoundBack",     "edSoundBack",  "chbRepeatWarn", "seRepeatInterval",
            "chMinimiseToTray", "chNotifications", "chPreferIPv6", "chTracePath",   "chUseLogging"};
        QStringList visited = {focusedControl()};
        for (qsizetype i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << focusedControl();
        }
        QCOMPARE(visited, expected);
    }

    // The desktop settings sit below the log details; without a tray its
    // box is greyed out and a hint says why, and the box keeps its value.
    void desktopSettings() {
        QCOMPARE(m_form->gbDesktop->geometry(), QRect(8, 328, 361, 115));
        QVERIFY(m_form->gbDesktop->geometry().top() > m_form->gbDetails->geometry().bottom());
        QVERIFY(!m_form->chMinimiseToTray->isChecked());
        QVERIFY(m_form->chNotifications->isChecked());
        QVERIFY(!m_form->chPreferIPv6->isChecked());
        QVERIFY(!m_form->chTracePath->isChecked());
        showForm();
        QVERIFY(m_form->chMinimiseToTray->isEnabled());
        QVERIFY(!m_form->lbNoTray->isVisible());
        m_form->chMinimiseToTray->setChecked(true);
        m_form->SetTrayAvailable(false);
        QVERIFY(!m_form->chMinimiseToTray->isEnabled());
        QVERIFY(m_form->lbNoTray->isVisible());
        QVERIFY(m_form->Options().MinimiseToTray);
        m_form->chNotifications->setChecked(false);
        m_form->chPreferIPv6->setChecked(true);
        QVERIFY(!m_form->Options().DesktopNotifications);
        QVERIFY(m_form->Options().PreferIPv6);
        m_form->chTracePath->setChecked(true);
        QVERIFY(m_form->Options().TraceEnabled);
    }

    void tabSkipsHiddenFields() {
        m_form->chSoundFail->setChecked(false);
        showForm();
        m_form->chSoundFail->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusedControl(), QStringLiteral("chSoundBack"));
    }

    void clickingABoxShowsItsControls_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("shown");
        QTest::newRow("logging") << "chUseLogging"
                                 << "gbDetails";
        QTest::newRow("warning sound") << "chSoundFail"
                                       << "edSoundFail";
        QTest::newRow("back sound") << "chSoundBack"
                                    << "edSoundBack";
    }
    void clickingABoxShowsItsControls() {
        QFETCH(QString, box);
        QFETCH(QString, shown);
        showForm();
        auto* check = qobject_cast<QCheckBox*>(control(box));
        QWidget* target = control(shown);
        for (int click = 0; click < 3; ++click) {
            QTest::mouseClick(check, Qt::LeftButton, Qt::NoModifier, QPoint(7, check->height() / 2));
            QCOMPARE(target->isVisible(), check->isChecked());
        }
        // The test buttons and the repeat controls never go away.
        for (QWidget* widget :
             {static_cast<QWidget*>(m_form->btnTestSound1), static_cast<QWidget*>(m_form->btnTestSound2),
              static_cast<QWidget*>(m_form->chbRepeatWarn), static_cast<QWidget*>(m_form->seRepeatInterval)})
            QVERIFY2(widget->isVisible(), qPrintable(widget->objectName()));
    }

    void settingABoxShowsItsControls_data() { clickingABoxShowsItsControls_data(); }
    void settingABoxShowsItsControls() {
        QFETCH(QString, box);
        QFETCH(QString, shown);
        showForm();
        auto* check = qobject_cast<QCheckBox*>(control(box));
        QWidget* target = control(shown);
        for (bool checked : {true, false, false, true}) {
            check->setChecked(checked);
            QCOMPARE(target->isVisible(), checked);
        }
    }

    void spaceKeyTogglesLikeAClick() {
        showForm();
        m_form->chUseLogging->setFocus();
        QTest::keyClick(m_form->chUseLogging, Qt::Key_Space);
        QVERIFY(m_form->gbDetails->isVisible());
    }

    void testButtonsPlayTheNamesUnchanged_data() {
        QTest::addColumn<bool>("soundOn");
        QTest::newRow("sounds switched on") << true;
        QTest::newRow("sounds switched off") << false;
    }
    void testButtonsPlayTheNamesUnchanged() {
        QFETCH(bool, soundOn);
        m_form->chSoundFail->setChecked(soundOn);
        m_form->chSoundBack->setChecked(soundOn);
        showForm();
        QTest::mouseClick(m_form->btnTestSound1, Qt::LeftButton);
        QTest::mouseClick(m_form->btnTestSound2, Qt::LeftButton);
        m_form->edSoundFail->setText(QStringLiteral("\"/home/ann/My Sounds/horn.wav\""));
        m_form->edSoundBack->setText(QStringLiteral("/usr/share/sounds/bell.wav"));
        QTest::mouseClick(m_form->btnTestSound1, Qt::LeftButton);
        QTest::mouseClick(m_form->btnTestSound2, Qt::LeftButton);
        QCOMPARE(m_sound.played, (QStringList{"Carbrake.wav", "Chimes.wav", "\"/home/ann/My Sounds/horn.wav\"",
                                              "/usr/share/sounds/bell.wav"}));
    }

    void browsingTheLogFileUsesTheLogFilter() {
        m_form->chUseLogging->setChecked(true);
        showForm();
        m_dialogs.answers << "/home/ann/link logs/today.log";
        auto* button = m_form->edLogFile->findChild<QToolButton*>(QStringLiteral("browseButton"));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_dialogs.calls.constFirst().filter, QStringLiteral("Logfiles (*.log)|*.log"));
        QCOMPARE(m_form->edLogFile->text(), QStringLiteral("\"/home/ann/link logs/today.log\""));
    }

    void soundFieldRefusesTyping() {
        showForm();
        m_form->edSoundFail->setFocus();
        QTest::keyClicks(QApplication::focusWidget(), "x");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(m_form->edSoundFail->text(), QStringLiteral("Carbrake.wav"));
    }

    void repeatIntervalIsBounded() {
        m_form->seRepeatInterval->setValue(5000);
        QCOMPARE(m_form->RepeatIntervalSeconds(), 1000);
        m_form->seRepeatInterval->setValue(-3);
        QCOMPARE(m_form->RepeatIntervalSeconds(), 1);
    }

    void enterPressesOK_data() {
        QTest::addColumn<QString>("focused");
        QTest::newRow("check box") << "chSoundFail";
        QTest::newRow("edit") << "edPeriod";
        QTest::newRow("log file field") << "edLogFile";
        QTest::newRow("spin field") << "seRepeatInterval";
        QTest::newRow("OK button") << "btOK";
    }
    void enterPressesOK() {
        QFETCH(QString, focused);
        QSignalSpy accepted(m_form.get(), &QDialog::accepted);
        m_form->chUseLogging->setChecked(true);
        showForm();
        control(focused)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
        QVERIFY(!m_form->isVisible());
    }

    void clickingOKCloses() {
        showForm();
        QTest::mouseClick(m_form->btOK, Qt::LeftButton);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
    }

    void escapeDoesNothing_data() {
        QTest::addColumn<QString>("focused");
        QTest::newRow("check box") << "chSoundFail";
        QTest::newRow("edit") << "edPeriod";
        QTest::newRow("drop-down list") << "cbPeriod";
        QTest::newRow("spin field") << "seRepeatInterval";
    }
    void escapeDoesNothing() {
        QFETCH(QString, focused);
        QSignalSpy accepted(m_form.get(), &QDialog::accepted);
        m_form->chUseLogging->setChecked(true);
        showForm();
        control(focused)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(m_form->isVisible());
        QCOMPARE(accepted.count(), 0);
    }

    void closeBoxClosesWithoutOK() {
        QSignalSpy accepted(m_form.get(), &QDialog::accepted);
        showForm();
        QVERIFY(m_form->close());
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Rejected));
        QCOMPARE(accepted.count(), 0);
    }
};

QTEST_MAIN(TestTLogForm)
#include "TestTLogForm.moc"
