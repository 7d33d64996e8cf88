// The conditional command dialog and the two reports, driven as a user would.
#include "Focus.h"
#include "TestBench.h"
#include "condition/CondReport.h"
#include "condition/ui/CondCmdSetForm.h"
#include "condition/ui/CondForm.h"
#include "condition/ui/CondTerminatedForm.h"
#include "platform/ScriptedPlatform.h"
#include "widgets/TwipsLayout.h"
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

// A bench with listeners at these addresses, found and opened as the main window's loading does.
struct OpenBench : BenchGuard {
    OpenBench(std::initializer_list<int> addresses, const QString& journal)
        : BenchGuard(BenchJson(Instruments(addresses), journal)) {
        open();
    }
    static QByteArray Instruments(std::initializer_list<int> addresses) {
        QByteArrayList list;
        for (int a : addresses)
            list << R"({"address": )" + QByteArray::number(a) + R"(, "accepts": ["*"]})";
        return list.join(", ");
    }
};

// The dialog shown over listeners at 3 and 5 unless told otherwise.
struct Shown {
    explicit Shown(const settings::Settings& stored, std::initializer_list<int> listeners = {3, 5},
                   const QString& journal = {})
        : bench(listeners, journal), settings(stored),
          form(settings, bench.instrument(), bench.listeners) {
        form.show();
    }
    OpenBench bench;
    settings::Settings settings;
    CondForm form;
    const CondCommand& stored = settings.condCommand();
    Ui::CondForm& ui = form.ui;
};

// Tick or untick as a click would.
void SetBox(QAbstractButton* box, bool on) {
    if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton);
}

const QString SendNoAddress =
    "Send Command at end ... can not be selected when no GPIB address is defined ";
const QString EndNoAddress =
    "End Measurement Sequence ... must be selected when no GPIB address is defined ";
} // namespace

class TestCondForm : public QObject {
    Q_OBJECT
    // A box no test expects fails the test instead of waiting for a click.
    std::unique_ptr<platform::ScriptedPlatform> noBoxes;
private slots:
    void init() { noBoxes = std::make_unique<platform::ScriptedPlatform>(); }
    void cleanup() { noBoxes.reset(); }

    void defaultsAsShown() {
        Shown d(SetValues(DefaultConditionStatusWord));
        const QVariantList shown = {d.form.Option_Cond[2]->isChecked(),
                                    d.form.Text_Target[0]->text(),
                                    d.ui.Label1->text(),
                                    d.form.Combo_Pct[0]->currentText(),
                                    d.form.Option_Cond[3]->isChecked(),
                                    d.form.Combo_Pct[1]->currentText(),
                                    d.form.Check_CondSelect[0]->isChecked(),
                                    d.form.Check_CondSelect[1]->isChecked(),
                                    d.ui.Combo_NoOfCond->currentText(),
                                    d.ui.Combo_GPIBaddr->currentText(),
                                    d.ui.Button_Test->isEnabled(),
                                    d.ui.Check_SendAtEnd->isChecked(),
                                    d.ui.Check_EndSeq->isChecked(),
                                    d.ui.Check_CondOn->isChecked(),
                                    d.ui.Button_OK->isEnabled()};
        QCOMPARE(shown, QVariantList({true, "10", "within", "10", true, "10", true, false, "10",
                                      "None", false, true, true, false, false}));
        QCOMPARE(d.ui.Combo_Pct_0->count(), 31);
        QCOMPARE(d.ui.Combo_NoOfCond->itemText(0), "1");
        QCOMPARE(d.ui.Combo_GPIBaddr->count(), 3);
        QCOMPARE(d.form.windowTitle(), "Conditional Command");
    }

    // The tab order, and no caption cut off or control overlapping at the test font.
    void layout() {
        Shown d(SetValues(DefaultConditionStatusWord));
        QStringList order;
        QWidget* w = d.form.Option_Cond[0];
        for (int i = 0; i < 20; ++i, w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
        QCOMPARE(order.mid(0, 17),
                 QStringList({"Option_Cond_0", "Option_Cond_1", "Option_Cond_2", "Combo_Pct_0",
                              "Text_Target_0", "Check_CondSelect_0", "Combo_Pct_1",
                              "Check_CondSelect_1", "Combo_NoOfCond", "Combo_GPIBaddr",
                              "Text_Command", "Button_Test", "Check_EndSeq", "Check_SendAtEnd",
                              "Check_CondOn", "Button_OK", "Button_Cancel"}));
        for (QWidget* w : d.form.findChildren<QWidget*>()) {
            const QSize need = twips::CaptionNeed(w);
            QVERIFY2(need.width() <= w->width() && need.height() <= w->height(),
                     qPrintable(w->objectName()));
        }
        const QList<QWidget*> top = d.form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* a : top)
            for (QWidget* b : top)
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " " + b->objectName()));
        QVERIFY(d.form.rect().contains(d.ui.Button_OK->geometry()));
        // Twips to pixels keep their order: the condition 2 frame stays right of frame 1.
        QVERIFY(d.form.Option_CondOption_CondOption_Cond[1]->x() >
                d.form.Option_CondOption_CondOption_Cond[0]->geometry().right());
    }

    void okChecks_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("address"); // list position chosen, -1: left
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("selected"); // bits of the two Select boxes to set, -1: left
        QTest::addColumn<bool>("sendAtEnd");
        QTest::addColumn<bool>("endSeq");
        QTest::addColumn<QString>("errors"); // empty: no box
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("stored"); // empty: the dialog stays open
        QTest::newRow("defaults on: send without address, Yes stores it off")
            << "3000A0A0AC1" << -1 << "" << -1 << true << true << SendNoAddress << Answer::Yes
            << "3000A0A0AC1";
        QTest::newRow("defaults on: No keeps the dialog open")
            << "3000A0A0AC1" << -1 << "" << -1 << true << true << SendNoAddress << Answer::No << "";
        QTest::newRow("address, no command, nothing selected: two lines")
            << "3000A0A0AC1" << 2 << "" << 0 << true << true
            << "No Condition selected\nGPIB command not defined" << Answer::Yes << "3050A0A0AC0";
        QTest::newRow("no address, neither send nor end")
            << "3000A0A0AC1" << -1 << "" << -1 << false << false << EndNoAddress << Answer::Yes
            << "0000A0A0AC1";
        QTest::newRow("no address: send and no end, both lines")
            << "3000A0A0AC1" << -1 << "" << 2 << true << false
            << SendNoAddress + "\n" + EndNoAddress << Answer::Yes << "2000A0A0AC2";
        QTest::newRow("complete: stored on without a box")
            << "3000A0A0AC1" << 1 << "OUT OFF" << 3 << true << true << "" << Answer::Yes
            << "7030A0A0AC3";
        QTest::newRow("no address, end only: on without a box")
            << "3000A0A0AC1" << -1 << "" << -1 << false << true << "" << Answer::Yes
            << "5000A0A0AC1";
    }
    void okChecks() {
        QFETCH(QString, word);
        QFETCH(int, address);
        QFETCH(QString, command);
        QFETCH(int, selected);
        QFETCH(bool, sendAtEnd);
        QFETCH(bool, endSeq);
        QFETCH(QString, errors);
        QFETCH(Answer, answer);
        QFETCH(QString, stored);
        platform::ScriptedPlatform sys;
        Shown d(SetValues(word));
        if (address >= 0) d.ui.Combo_GPIBaddr->setCurrentIndex(address);
        QTest::keyClicks(d.ui.Text_Command, command.toLower());
        QCOMPARE(d.ui.Text_Command->text(), command);
        for (int i = 0; selected >= 0 && i < 2; ++i)
            SetBox(d.form.Check_CondSelect[i], selected >> i & 1);
        SetBox(d.ui.Check_SendAtEnd, sendAtEnd);
        SetBox(d.ui.Check_EndSeq, endSeq);
        SetBox(d.ui.Check_CondOn, true);
        QVERIFY(d.ui.Button_OK->isEnabled());
        if (!errors.isEmpty()) sys.answerBox(answer, "Conditional Command Error");
        QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
        QCOMPARE(sys.pendingAnswers(), 0);
        if (!errors.isEmpty()) {
            QCOMPARE(sys.boxes.size(), 1);
            QCOMPARE(sys.boxes[0].text, "The following parameter error(s) have been found:\n\n" +
                                            errors +
                                            "\n\nIf you proceed Conditional Command will be set "
                                            "to OFF.\nDo you want to Continue ?");
            QCOMPARE(sys.boxes[0].icon, platform::Icon::Critical);
            QCOMPARE(sys.boxes[0].buttons, platform::Buttons::YesNo);
            QCOMPARE(sys.boxes[0].defaultButton, Answer::Yes);
        }
        QCOMPARE(d.form.isVisible(), stored.isEmpty());
        QCOMPARE(d.stored.ConditionStatusWord, stored.isEmpty() ? word : stored);
        QCOMPARE(d.stored.ConditionGPIBCommand, stored.isEmpty() ? QString() : command);
        QCOMPARE(d.settings.changed(), !stored.isEmpty() && (stored != word || !command.isEmpty()));
    }

    void targetKeys_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("comma into empty gives 0.") << ""
                                                   << ","
                                                   << "0.";
        QTest::newRow("point into empty gives 0.") << ""
                                                   << "."
                                                   << "0.";
        QTest::newRow("second point refused") << "1.5"
                                              << ".,2"
                                              << "1.52";
        QTest::newRow("second minus refused, wherever") << "5-"
                                                        << "-3"
                                                        << "5-3";
        QTest::newRow("minus first") << ""
                                     << "-1,5"
                                     << "-1.5";
        QTest::newRow("letters and signs refused") << ""
                                                   << "a1e+ 2%"
                                                   << "12";
    }
    void targetKeys() {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        Shown d(SetValues(DefaultConditionStatusWord));
        for (int i = 0; i < 2; ++i) {
            QLineEdit* box = d.form.Text_Target[i];
            box->setText(before);
            QTest::keyClicks(box, typed);
            QCOMPARE(box->text(), after);
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), after.chopped(1));
        }
    }

    void clearingATargetUnticksItsCondition() {
        Shown d(SetValues("3000A0A0AC3"));
        QTest::mouseDClick(d.form.Text_Target[1], Qt::LeftButton);
        QCOMPARE(d.form.Text_Target[1]->text(), "");
        QVERIFY(!d.form.Check_CondSelect[1]->isChecked());
        QVERIFY(d.form.Check_CondSelect[0]->isChecked());
        QVERIFY(!d.ui.Button_OK->isEnabled());
        SetBox(d.form.Check_CondSelect[1], true); // refused while the amount is empty
        QVERIFY(!d.form.Check_CondSelect[1]->isChecked());
        QTest::keyClicks(d.form.Text_Target[1], "2");
        QVERIFY(d.ui.Button_OK->isEnabled());
        QTest::mouseClick(d.form.Option_Cond[0], Qt::LeftButton);
        QCOMPARE(d.ui.Label1->text(), "minus");
        QTest::mouseClick(d.form.Option_Cond[1], Qt::LeftButton);
        QCOMPARE(d.ui.Label1->text(), "plus");
        QTest::mouseClick(d.form.Option_Cond[4], Qt::LeftButton);
        QCOMPARE(d.ui.Label1->text(), "plus");
        QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
        QCOMPARE(d.stored.ConditionStatusWord, "3000A0A0A21");
        QCOMPARE(d.stored.ConditionTargetValue[1], "2");
        QVERIFY(d.settings.changed());
    }

    // Cancel, or Escape from whichever control has the focus, closes without storing; Tab and
    // Shift+Tab leave and re-enter each filtered box first.
    void cancelStoresNothing_data() {
        QTest::addColumn<QString>("control"); // where Escape is pressed; empty: Cancel clicked
        QTest::newRow("Cancel") << "";
        for (const char* control :
             {"Text_Target_0", "Text_Target_1", "Text_Command", "Combo_GPIBaddr", "Check_CondOn"})
            QTest::newRow(control) << control;
    }
    void cancelStoresNothing() {
        QFETCH(QString, control);
        Shown d(SetValues("7050A0A0AC1", "OUT OFF"));
        QVERIFY(ShowActive(&d.form));
        d.form.Text_Target[0]->setText("3");
        d.ui.Combo_Pct_0->setCurrentIndex(4);
        SetBox(d.ui.Check_CondOn, false);
        if (control.isEmpty()) {
            QTest::mouseClick(d.ui.Button_Cancel, Qt::LeftButton);
        } else {
            auto* focus = d.form.findChild<QWidget*>(control);
            focus->setFocus();
            if (qobject_cast<QLineEdit*>(focus)) QVERIFY(TabLeavesAndReturns(focus));
            QTest::keyClick(focus, Qt::Key_Escape);
        }
        QVERIFY(!d.form.isVisible());
        QCOMPARE(d.form.result(), int(QDialog::Rejected));
        QCOMPARE(d.stored.ConditionStatusWord, "7050A0A0AC1");
        QCOMPARE(d.stored.ConditionTargetValue[0], "10");
        QVERIFY(!d.settings.changed());
    }

    // Every field over its range: opened and written back from the controls it filled.
    void wordsInRangeComeBack() {
        platform::ScriptedPlatform sys; // with the command off, OK asks nothing
        int checked = 0;
        for (int field = 0; field < 7; ++field) {
            for (int v = 0; v <= 30; ++v) {
                std::array<int, 7> f = {3, 5, 10, 10, 10, 0xC, 1};
                const std::array<int, 7> top = {7, 30, 30, 30, 30, 5, 3};
                if (v > top[field]) continue;
                f[field] = field == 5 ? std::array{1, 2, 4, 9, 10, 12}[v] : v;
                if (field == 2 && v == 0) continue;
                const QString word = QString::number(f[0]) +
                                     QStringLiteral("%1%2%3%4")
                                         .arg(f[1], 2, 16, QLatin1Char('0'))
                                         .arg(f[2], 2, 16, QLatin1Char('0'))
                                         .arg(f[3], 2, 16, QLatin1Char('0'))
                                         .arg(f[4], 2, 16, QLatin1Char('0'))
                                         .toUpper() +
                                     QString::number(f[5], 16).toUpper() + QString::number(f[6]);
                Shown d(SetValues(word, "X"), {f[1] == 0 ? 1 : f[1]});
                d.ui.Check_CondOn->toggle();
                d.ui.Check_CondOn->toggle();
                d.form.Button_OK_Click();
                QCOMPARE(d.stored.ConditionStatusWord, word);
                ++checked;
            }
        }
        QCOMPARE(checked, 8 + 31 + 30 + 31 + 31 + 6 + 4);
    }

    // A hand-made word: shown as far as the controls can, kept where the user does not edit.
    void wordOutOfRange_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QStringList>("shown"); // pct 0, pct 1, count, option 0..2 checked
        QTest::addColumn<QString>("afterEditingTheTarget");
        QTest::addColumn<QString>("afterChoosingCount2");
        QTest::newRow("big numbers")
            << "7052800FF41" << QStringList{"255", "0", "40", "="} << "7052800FF41"
            << "705020 0FF41";
        QTest::newRow("count 0, two modes, flag 8")
            << "F05000A0A33" << QStringList{"10", "10", "0", "<"} << "F05000A0A33"
            << "F05020A0A33";
        QTest::newRow("no mode bit, selection 4")
            << "3050A0A0A84" << QStringList{"10", "10", "10", ""} << "3050A0A0A84"
            << "30502 0A0A84";
        QTest::newRow("short word") << "1" << QStringList{"0", "0", "0", ""} << "10000000000"
                                    << "10002000000";
    }
    void wordOutOfRange() {
        QFETCH(QString, word);
        QFETCH(QStringList, shown);
        QFETCH(QString, afterEditingTheTarget);
        QFETCH(QString, afterChoosingCount2);
        afterChoosingCount2.remove(' ');
        for (bool count : {false, true}) {
            Shown d(SetValues(word, "X"));
            QString option;
            for (int i = 0; i < 3; ++i)
                if (d.form.Option_Cond[i]->isChecked()) option = QString("<>=").at(i);
            QCOMPARE(
                QStringList({d.form.Combo_Pct[0]->currentText(), d.form.Combo_Pct[1]->currentText(),
                             d.ui.Combo_NoOfCond->currentText(), option}),
                shown);
            QVERIFY(!d.ui.Button_OK->isEnabled());
            QTest::keyClicks(d.form.Text_Target[0], "5");
            if (count) d.ui.Combo_NoOfCond->setCurrentIndex(1);
            QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
            QCOMPARE(d.stored.ConditionStatusWord,
                     count ? afterChoosingCount2 : afterEditingTheTarget);
            QCOMPARE(d.stored.ConditionTargetValue[0], "105");
        }
    }

    // The address list, the command's keys and the test send on the bus.
    void testButton() {
        QTemporaryDir dir;
        const QString journal = dir.filePath("journal");
        Shown d(SetValues("3090A0A0AC1"), {3, 5}, journal);
        d.bench.instrument().setAddress(3);
        d.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d.form));
        QCOMPARE(d.ui.Combo_GPIBaddr->currentText(), "None"); // 9 is not on the bus
        d.ui.Combo_GPIBaddr->setCurrentIndex(2);
        QCOMPARE(QApplication::focusWidget(), d.ui.Text_Command);
        QVERIFY(!d.ui.Button_Test->isEnabled());
        QTest::keyClicks(d.ui.Text_Command, "out on");
        QVERIFY(d.ui.Button_Test->isEnabled());
        QTest::keyClick(d.ui.Text_Command, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), d.ui.Button_Test);
        QFile::remove(journal); // only the test send from here on
        QTest::mouseClick(d.ui.Button_Test, Qt::LeftButton);
        QCOMPARE(JournalText(journal), "5 W OUT ON\n");
        QCOMPARE(QApplication::focusWidget(), d.ui.Text_Command);
        QCOMPARE(d.stored.ConditionGPIBCommand, ""); // trying is not storing
        d.ui.Combo_GPIBaddr->setCurrentIndex(0);
        QVERIFY(!d.ui.Button_Test->isEnabled());
        // The run's next query goes to the measuring instrument again.
        QVERIFY(!d.bench.instrument().write("MEAS?"));
        QVERIFY(JournalText(journal).endsWith("3 W MEAS?\n"));
    }

    void settingsReport_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("text");
        const QString tail = "Send command at end of Measurement Sequence if condition is not met: "
                             "YES          End Measurement Sequence if condition is met: YES\n";
        QTest::newRow("defaults, on")
            << "7000A0A0AC1"
            << ""
            << "Condition 1: Enabled\nMode: Equal to 10 within 10 %\n\n"
               "Condition 2: Disabled\nMode: Less than Max minus 10 %\n\n"
               "Number of consecutive times condition should be met before sending: 10\n\n"
               "Second GPIB Address: None\nSecond GPIB Command:  Not defined\n\n" +
                   tail;
        QTest::newRow("percentages 0, by amount, address, less than")
            << "40503000012"
            << "OUT OFF"
            << "Condition 1: Disabled\nMode: Less than 10\n\n"
               "Condition 2: Enabled\nMode: Less than Max minus 10\n\n"
               "Number of consecutive times condition should be met before sending: 3\n\n"
               "Second GPIB Address: 5\nSecond GPIB Command: OUT OFF\n\n"
               "Send command at end of Measurement Sequence if condition is not met: NO"
               "          End Measurement Sequence if condition is met: NO\n";
        QTest::newRow("greater, and maximum minus 0 %")
            << "7000A001EA3"
            << ""
            << "Condition 1: Enabled\nMode: Greater than 10 plus 30 %\n\n"
               "Condition 2: Enabled\nMode: Less than Max\n\n"
               "Number of consecutive times condition should be met before sending: 10\n\n"
               "Second GPIB Address: None\nSecond GPIB Command:  Not defined\n\n" +
                   tail;
        QTest::newRow("several mode bits")
            << "7000A0A05E1"
            << "X"
            << "Condition 1: Enabled\nMode:  5 %\n\n"
               "Condition 2: Disabled\nMode: Less than Max minus 10 %\n\n"
               "Number of consecutive times condition should be met before sending: 10\n\n"
               "Second GPIB Address: None\nSecond GPIB Command: X\n\n" +
                   tail;
    }
    void settingsReport() {
        QFETCH(QString, word);
        QFETCH(QString, command);
        QFETCH(QString, text);
        QCOMPARE(CondSettingsText(word, {"10", "10"}, command), text);
    }

    void reportWindows() {
        QWidget main;
        main.setGeometry(100, 100, 600, 400);
        main.show();
        CondCmdSetForm* report =
            CondCmdSetForm::ShowFor(&main, SetValues("7000A0A0AC1").condCommand());
        QVERIFY(!report->isModal());
        QCOMPARE(report->windowTitle(), "Current Conditional Command settings");
        QCOMPARE(report->ui.Label_Settings->text(),
                 CondSettingsText("7000A0A0AC1", {"10", "10"}, ""));
        const int need =
            report->ui.Label_Settings->heightForWidth(report->ui.Label_Settings->width());
        QVERIFY(need <= report->ui.Label_Settings->height());
        const double perTwip = report->logicalDpiX() / 1440.0;
        QCOMPARE(report->pos(),
                 main.frameGeometry().topLeft() + QPoint(int(2850 * perTwip), int(870 * perTwip)));
        const CondCommand changed = SetValues("7000A0A0AC2").condCommand();
        QCOMPARE(CondCmdSetForm::ShowFor(&main, changed), report); // brought forward, not rebuilt
        QCOMPARE(report->ui.Label_Settings->text(),
                 CondSettingsText("7000A0A0AC1", {"10", "10"}, ""));
        QTest::mouseClick(report->ui.Button_OK, Qt::LeftButton);
        QTRY_VERIFY(!CondCmdSetForm::ShowFor(&main, changed)
                         ->ui.Label_Settings->text()
                         .contains("Condition 1: Enabled"));

        const QString termReason = "Mode: Equal to\nTarget Value: 10\nActual Meaurement: 10\n"
                                   "Number of valid Measurements: 1";
        CondTerminatedForm term(termReason, &main);
        QCOMPARE(term.ui.Label1->text(), termReason);
        QCOMPARE(term.windowTitle(), "Reason for Termination: Condition met");
        QVERIFY(term.ui.Label1->heightForWidth(term.ui.Label1->width()) <=
                term.ui.Label1->height());
    }
};

QTEST_MAIN(TestCondForm)
#include "tst_condform.moc"
