// The conditional command dialog and the two reports, driven as a user would.
#include "Focus.h"
#include "TestBench.h"
#include "condition/CondReport.h"
#include "condition/CondSettings.h"
#include "condition/ui/CondCmdSetForm.h"
#include "condition/ui/CondForm.h"
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
        Shown d(SetValues("3091E0514C3"), journal); // count 30, 5 % and 20 %, send and end
        d.bench.instrument().setAddress(3);
        QVERIFY(ShowActive(&d.form));
        QCOMPARE(d.ui.Combo_GPIBaddr->currentText(), "None"); // 9 is not on the bus
        // OK with the command on lists every error in one box; No keeps the dialog open.
        SetBox(d.ui.Check_CondOn, true);
        SetBox(d.ui.Check_EndSeq, false);
        noBoxes->answerBox(Answer::No, "Conditional Command Error");
        QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
        QCOMPARE(noBoxes->boxes[0].text,
                 "The following parameter error(s) have been found:\n\nSend Command at end ... "
                 "can not be selected when no GPIB address is defined \nEnd Measurement Sequence "
                 "... must be selected when no GPIB address is defined \n\nIf you proceed "
                 "Conditional Command will be set to OFF.\nDo you want to Continue ?");
        QVERIFY(d.form.isVisible() && !d.settings.changed());
        SetBox(d.ui.Check_EndSeq, true);
        d.ui.Combo_GPIBaddr->setCurrentIndex(2);
        QCOMPARE(QApplication::focusWidget(), d.ui.Text_Command);
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

        // Each target box: a double click clears it and unticks its condition, which stays
        // unticked while the box is empty, and OK waits; typed keys are filtered.
        const std::array<std::array<QString, 2>, 2> typed = {{
            {",5.x\b7", "0.7"},      // a comma into empty; no second point; Backspace passes
            {"-2a,5.-e+ %", "-2.5"}, // no second minus; letters and signs refused
        }};
        for (int i = 0; i < 2; ++i) {
            QTest::mouseDClick(d.form.Text_Target[i], Qt::LeftButton);
            QVERIFY(!d.form.Check_CondSelect[i]->isChecked() && !d.ui.Button_OK->isEnabled());
            SetBox(d.form.Check_CondSelect[i], true);
            QVERIFY(!d.form.Check_CondSelect[i]->isChecked());
            QTest::keyClicks(d.form.Text_Target[i], typed[i][0]);
            QCOMPARE(d.form.Text_Target[i]->text(), typed[i][1]);
            SetBox(d.form.Check_CondSelect[i], true);
        }
        QVERIFY(d.ui.Button_OK->isEnabled());
        QTest::mouseClick(d.form.Option_Cond[1], Qt::LeftButton);
        QTest::mouseClick(d.form.Option_Cond[4], Qt::LeftButton);
        QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
        QVERIFY(!d.form.isVisible());
        QCOMPARE(d.stored.ConditionStatusWord + '|' + d.stored.ConditionTargetValue[0] + '|' +
                     d.stored.ConditionTargetValue[1] + '|' + d.stored.ConditionGPIBCommand,
                 "7051E051423|0.7|-2.5|OUT ON");
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
            QVERIFY(d.stored == CondCommand({"7050A0A0AC1", {"10", "10"}, "OUT OFF"}));
            QVERIFY(!d.settings.changed());
        }
    }

    // The settings report is brought forward, not rebuilt, while it is open.
    void reportWindows() {
        QWidget main;
        main.show();
        const QString text = CondSettingsText("7000A0A0AC1", {"10", "10"}, "");
        CondCmdSetForm* report = CondCmdSetForm::ShowFor(&main, {"7000A0A0AC1", {"10", "10"}, ""});
        QVERIFY(!report->isModal());
        QCOMPARE(report->windowTitle(), "Current Conditional Command settings");
        QCOMPARE(report->ui.Label_Settings->text(), text);
        QCOMPARE(CondCmdSetForm::ShowFor(&main, {"7000A0A0AC2", {"10", "10"}, ""}), report);
        QCOMPARE(report->ui.Label_Settings->text(), text);
    }
};

QTEST_MAIN(TestCondForm)
#include "tst_condform.moc"
