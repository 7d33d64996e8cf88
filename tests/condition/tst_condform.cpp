// The conditional command dialog and the two reports, driven as a user would.
#include "Focus.h"
#include "TestBench.h"
#include "condition/CondReport.h"
#include "condition/CondSettings.h"
#include "condition/ui/CondCmdSetForm.h"
#include "condition/ui/CondForm.h"
#include "condition/ui/CondTerminatedForm.h"
#include "platform/ScriptedPlatform.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using platform::Answer;

namespace {
// The settings the dialog opens with, as saved.
settings::Settings SetValues(const QString& word, const QString& command = {}) {
    settings::Settings stored;
    stored.setCondCommand({word, {"10", "10"}, command});
    stored.markSaved();
    return stored;
}

// The dialog shown over a bench with listeners at 3 and 5, opened as the main window's
// loading does.
struct Shown {
    explicit Shown(const settings::Settings& stored, const QString& journal = {})
        : bench(BenchJson(R"({"address": 3, "accepts": ["*"]}, {"address": 5, "accepts": ["*"]})",
                          journal)),
          opened(bench.open()), settings(stored),
          form(settings, bench.instrument(), bench.listeners) {
        form.show();
    }
    BenchGuard bench;
    bus::Error opened;
    settings::Settings settings;
    CondForm form;
    const CondCommand& stored = settings.condCommand();
    Ui::CondForm& ui = form.ui;
};

// Tick or untick as a click would.
void SetBox(QAbstractButton* box, bool on) {
    if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton);
}
} // namespace

class TestCondForm : public QObject {
    Q_OBJECT
    // A box no test expects fails the test instead of waiting for a click.
    std::unique_ptr<platform::ScriptedPlatform> noBoxes;
private slots:
    void init() { noBoxes = std::make_unique<platform::ScriptedPlatform>(); }
    void cleanup() { noBoxes.reset(); }

    // A user's walk: the address list and the test send on the bus, what the target boxes take,
    // a cleared target, and OK storing what the dialog shows without a box.
    void fillTestAndStore() {
        QTemporaryDir dir;
        const QString journal = dir.filePath("journal");
        Shown d(SetValues("3091E0514C3"), journal); // count 30, 5 % and 20 %
        d.bench.instrument().setAddress(3);
        QVERIFY(ShowActive(&d.form));
        QCOMPARE(d.form.windowTitle(), "Conditional Command");
        QCOMPARE(d.ui.Combo_GPIBaddr->currentText(), "None"); // 9 is not on the bus
        QCOMPARE(d.ui.Combo_GPIBaddr->count(), 3);
        d.ui.Combo_GPIBaddr->setCurrentIndex(2);
        QCOMPARE(QApplication::focusWidget(), d.ui.Text_Command);
        QVERIFY(!d.ui.Button_Test->isEnabled());
        QTest::keyClicks(d.ui.Text_Command, "out on");
        QTest::keyClick(d.ui.Text_Command, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), d.ui.Button_Test);
        QFile::remove(journal); // only the test send from here on
        QTest::mouseClick(d.ui.Button_Test, Qt::LeftButton);
        QCOMPARE(JournalText(journal), "5 W OUT ON\n");
        QCOMPARE(QApplication::focusWidget(), d.ui.Text_Command);
        QCOMPARE(d.stored.ConditionGPIBCommand, ""); // trying is not storing
        // The run's next query goes to the measuring instrument again.
        QVERIFY(!d.bench.instrument().write("MEAS?"));
        QVERIFY(JournalText(journal).endsWith("3 W MEAS?\n"));

        // Both target boxes: what each typed text leaves, and Backspace after it.
        const std::array<std::array<QString, 3>, 3> cases = {{
            {"", ",", "0."},           // a comma into empty
            {"-1.5", ".,-2", "-1.52"}, // no second point or minus
            {"", "-a1e+ 2%", "-12"},   // minus first; letters and signs refused
        }};
        for (QLineEdit* box : d.form.Text_Target)
            for (const auto& [before, typed, after] : cases) {
                box->setText(before);
                QTest::keyClicks(box, typed);
                QCOMPARE(box->text(), after);
                QTest::keyClick(box, Qt::Key_Backspace);
                QCOMPARE(box->text(), after.chopped(1));
            }
        for (int i = 0; i < 2; ++i) { // an emptied box unticked its condition
            d.form.Text_Target[i]->setText("10");
            SetBox(d.form.Check_CondSelect[i], true);
        }

        // Clearing a target unticks its condition, which stays unticked while it is empty.
        QTest::mouseDClick(d.form.Text_Target[1], Qt::LeftButton);
        QCOMPARE(d.form.Text_Target[1]->text(), "");
        QVERIFY(!d.form.Check_CondSelect[1]->isChecked() &&
                d.form.Check_CondSelect[0]->isChecked());
        QVERIFY(!d.ui.Button_OK->isEnabled());
        SetBox(d.form.Check_CondSelect[1], true);
        QVERIFY(!d.form.Check_CondSelect[1]->isChecked());
        QTest::keyClicks(d.form.Text_Target[1], "2");
        QVERIFY(d.ui.Button_OK->isEnabled());
        QString labels;
        for (int option : {0, 1, 4}) {
            QTest::mouseClick(d.form.Option_Cond[option], Qt::LeftButton);
            labels += d.ui.Label1->text() + ' ';
        }
        QCOMPARE(labels, "minus plus plus ");
        SetBox(d.ui.Check_CondOn, true);
        QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
        QVERIFY(!d.form.isVisible());
        QCOMPARE(d.stored.ConditionStatusWord, "7051E051421");
        QCOMPARE(d.stored.ConditionTargetValue[1], "2");
        QCOMPARE(d.stored.ConditionGPIBCommand, "OUT ON");
    }

    // OK's checks: one box lists every error; No keeps the dialog open and stores nothing, Yes
    // stores the word with the conditional command off.
    void okChecks() {
        platform::ScriptedPlatform sys;
        Shown d(SetValues("3000A0A0AC1")); // send and end ticked, no address
        SetBox(d.ui.Check_CondOn, true);
        SetBox(d.ui.Check_EndSeq, false);
        const QString ask = "The following parameter error(s) have been found:\n\n%1\n\nIf you "
                            "proceed Conditional Command will be set to OFF.\nDo you want to "
                            "Continue ?";
        sys.answerBox(Answer::No, "Conditional Command Error");
        QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
        QCOMPARE(sys.boxes[0].text,
                 ask.arg("Send Command at end ... can not be selected when no GPIB address is "
                         "defined \nEnd Measurement Sequence ... must be selected when no GPIB "
                         "address is defined "));
        QCOMPARE(sys.boxes[0].icon, platform::Icon::Critical);
        QCOMPARE(sys.boxes[0].buttons, platform::Buttons::YesNo);
        QVERIFY(d.form.isVisible() && !d.settings.changed());

        d.ui.Combo_GPIBaddr->setCurrentIndex(2);
        SetBox(d.ui.Check_EndSeq, true);
        SetBox(d.form.Check_CondSelect[0], false);
        sys.answerBox(Answer::Yes, "Conditional Command Error");
        QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
        QCOMPARE(sys.boxes[1].text, ask.arg("No Condition selected\nGPIB command not defined"));
        QVERIFY(!d.form.isVisible() && d.settings.changed());
        QCOMPARE(d.stored.ConditionStatusWord, "3050A0A0AC0");
        QCOMPARE(sys.pendingAnswers(), 0);
    }

    // Cancel, or Escape from a filtered box, closes without storing; Tab and Shift+Tab leave
    // and re-enter the box first.
    void cancelStoresNothing() {
        for (const char* control : {"Button_Cancel", "Text_Target_1", "Text_Command"}) {
            Shown d(SetValues("7050A0A0AC1", "OUT OFF"));
            QVERIFY(ShowActive(&d.form));
            d.form.Text_Target[0]->setText("3");
            SetBox(d.ui.Check_CondOn, false);
            auto* focus = d.form.findChild<QWidget*>(control);
            if (auto* button = qobject_cast<QAbstractButton*>(focus)) {
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                focus->setFocus();
                QVERIFY(TabLeavesAndReturns(focus));
                QTest::keyClick(focus, Qt::Key_Escape);
            }
            QVERIFY2(!d.form.isVisible(), control);
            QCOMPARE(d.stored.ConditionStatusWord, "7050A0A0AC1");
            QCOMPARE(d.stored.ConditionTargetValue[0], "10");
            QVERIFY(!d.settings.changed());
        }
    }

    // The settings report is brought forward, not rebuilt, while it is open.
    void reportWindows() {
        QWidget main;
        main.setGeometry(100, 100, 600, 400);
        main.show();
        const QString text = CondSettingsText("7000A0A0AC1", {"10", "10"}, "");
        CondCmdSetForm* report =
            CondCmdSetForm::ShowFor(&main, SetValues("7000A0A0AC1").condCommand());
        QVERIFY(!report->isModal());
        QCOMPARE(report->windowTitle(), "Current Conditional Command settings");
        QCOMPARE(report->ui.Label_Settings->text(), text);
        const CondCommand changed = SetValues("7000A0A0AC2").condCommand();
        QCOMPARE(CondCmdSetForm::ShowFor(&main, changed), report);
        QCOMPARE(report->ui.Label_Settings->text(), text);

        CondTerminatedForm term("Mode: Equal to", &main);
        QCOMPARE(term.windowTitle() + '|' + term.ui.Label1->text(),
                 "Reason for Termination: Condition met|Mode: Equal to");
    }
};

QTEST_MAIN(TestCondForm)
#include "tst_condform.moc"
