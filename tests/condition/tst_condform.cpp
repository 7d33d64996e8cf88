// The conditional command dialog and the two reports, driven as a user would.
#include "Focus.h"
#include "TestBench.h"
#include "condition/CondReport.h"
#include "condition/CondSettings.h"
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

    // The tab order, and no caption cut off or control overlapping at the test font.
    void layout() {
        Shown d(SetValues(DefaultConditionStatusWord));
        QCOMPARE(d.form.windowTitle(), "Conditional Command");
        QStringList order;
        QWidget* w = d.form.Option_Cond[0];
        for (int i = 0; i < 20; ++i, w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
        QCOMPARE(order.mid(0, 17).join(' '),
                 "Option_Cond_0 Option_Cond_1 Option_Cond_2 Combo_Pct_0 Text_Target_0 "
                 "Check_CondSelect_0 Combo_Pct_1 Check_CondSelect_1 Combo_NoOfCond Combo_GPIBaddr "
                 "Text_Command Button_Test Check_EndSeq Check_SendAtEnd Check_CondOn Button_OK "
                 "Button_Cancel");
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
    }

    // OK's checks: the errors listed (empty: no box), and the word stored (empty: the dialog
    // stays open).
    void okChecks_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("address"); // list position chosen, -1: left
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("selected"); // bits of the two Select boxes to set, -1: left
        QTest::addColumn<bool>("sendAtEnd");
        QTest::addColumn<bool>("endSeq");
        QTest::addColumn<QString>("errors");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("stored");
        const QString def = "3000A0A0AC1";
        QTest::newRow("defaults on: send without address, Yes stores it off")
            << def << -1 << "" << -1 << true << true << SendNoAddress << Answer::Yes << def;
        QTest::newRow("defaults on: No keeps the dialog open")
            << def << -1 << "" << -1 << true << true << SendNoAddress << Answer::No << "";
        QTest::newRow("address, no command, nothing selected: two lines")
            << def << 2 << "" << 0 << true << true
            << "No Condition selected\nGPIB command not defined" << Answer::Yes << "3050A0A0AC0";
        QTest::newRow("no address, neither send nor end")
            << def << -1 << "" << -1 << false << false << EndNoAddress << Answer::Yes
            << "0000A0A0AC1";
        QTest::newRow("no address: send and no end, both lines")
            << def << -1 << "" << 2 << true << false << SendNoAddress + "\n" + EndNoAddress
            << Answer::Yes << "2000A0A0AC2";
        QTest::newRow("complete: stored on without a box")
            << def << 1 << "OUT OFF" << 3 << true << true << "" << Answer::Yes << "7030A0A0AC3";
        QTest::newRow("no address, end only: on without a box")
            << def << -1 << "" << -1 << false << true << "" << Answer::Yes << "5000A0A0AC1";
    }
    void okChecks() {
        QFETCH(QString, word);
        QFETCH(int, address);
        QFETCH(QString, command);
        QFETCH(int, selected);
        QFETCH(QString, errors);
        QFETCH(QString, stored);
        platform::ScriptedPlatform sys;
        Shown d(SetValues(word));
        if (address >= 0) d.ui.Combo_GPIBaddr->setCurrentIndex(address);
        QTest::keyClicks(d.ui.Text_Command, command.toLower());
        QCOMPARE(d.ui.Text_Command->text(), command);
        for (int i = 0; selected >= 0 && i < 2; ++i)
            SetBox(d.form.Check_CondSelect[i], selected >> i & 1);
        QFETCH(bool, sendAtEnd);
        QFETCH(bool, endSeq);
        SetBox(d.ui.Check_SendAtEnd, sendAtEnd);
        SetBox(d.ui.Check_EndSeq, endSeq);
        SetBox(d.ui.Check_CondOn, true);
        QVERIFY(d.ui.Button_OK->isEnabled());
        QFETCH(Answer, answer);
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

    // Both target boxes: what each typed text leaves, and Backspace after it.
    void targetKeys_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("comma into empty gives 0.") << ""
                                                   << ","
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
        for (QLineEdit* box : d.form.Text_Target) {
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
        QVERIFY(!d.form.Check_CondSelect[1]->isChecked() &&
                d.form.Check_CondSelect[0]->isChecked());
        QVERIFY(!d.ui.Button_OK->isEnabled());
        SetBox(d.form.Check_CondSelect[1], true); // refused while the amount is empty
        QVERIFY(!d.form.Check_CondSelect[1]->isChecked());
        QTest::keyClicks(d.form.Text_Target[1], "2");
        QVERIFY(d.ui.Button_OK->isEnabled());
        QString labels;
        for (int option : {0, 1, 4}) {
            QTest::mouseClick(d.form.Option_Cond[option], Qt::LeftButton);
            labels += d.ui.Label1->text() + ' ';
        }
        QCOMPARE(labels, "minus plus plus ");
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
        for (const char* control : {"Text_Target_1", "Text_Command", "Check_CondOn"})
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

    // Every field over its range: both readings of the word agree, and the dialog opened on it
    // writes it back from the controls it filled.
    void wordsInRangeComeBack() {
        platform::ScriptedPlatform sys; // with the command off, OK asks nothing
        int checked = 0;
        for (int field = 0; field < 7; ++field) {
            const std::array<int, 7> top = {7, 30, 30, 30, 30, 5, 3};
            for (int v = field == 2 ? 1 : 0; v <= top[field]; ++v) {
                std::array<int, 7> f = {3, 5, 10, 10, 10, 0xC, 1};
                f[field] = field == 5 ? std::array{1, 2, 4, 9, 10, 12}[v] : v;
                QString word = QString::number(f[0]);
                for (int i = 1; i < 5; ++i)
                    word += QStringLiteral("%1").arg(f[i], 2, 16, QLatin1Char('0')).toUpper();
                word += QString::number(f[5], 16).toUpper() + QString::number(f[6]);
                QVERIFY2(InRange(word) && FieldsByBit(word) == FieldsByChar(word),
                         qPrintable(word));
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

    // The address list, the command's keys and the test send on the bus.
    void testButton() {
        QTemporaryDir dir;
        const QString journal = dir.filePath("journal");
        Shown d(SetValues("3090A0A0AC1"), {3, 5}, journal);
        d.bench.instrument().setAddress(3);
        d.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d.form));
        QCOMPARE(d.ui.Combo_GPIBaddr->currentText(), "None"); // 9 is not on the bus
        QCOMPARE(d.ui.Combo_GPIBaddr->count(), 3);
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

    // The report of the settings: condition 1's and 2's modes, count, address, command, flags.
    void settingsReport_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("text");
        auto row =
            [](const char* name, const char* word, const char* command,
               QStringList f) { // mode 1, mode 2, count, address, command, flags
                const QString flag = f[5].contains('s') ? "YES" : "NO",
                              end = f[5].contains('e') ? "YES" : "NO";
                QTest::newRow(name)
                    << word << command
                    << "Condition 1: " + f[0] + "\n\nCondition 2: " + f[1] +
                           "\n\nNumber of consecutive times condition should be met before "
                           "sending: " +
                           f[2] + "\n\nSecond GPIB Address: " + f[3] +
                           "\nSecond GPIB Command: " + f[4] +
                           "\n\nSend command at end of Measurement Sequence if condition " +
                           "is not met: " + flag +
                           "          End Measurement Sequence if condition is met: " + end + "\n";
            };
        row("defaults, on", "7000A0A0AC1", "",
            {"Enabled\nMode: Equal to 10 within 10 %", "Disabled\nMode: Less than Max minus 10 %",
             "10", "None", " Not defined", "se"});
        row("percentages 0, by amount, address, less than", "40503000012", "OUT OFF",
            {"Disabled\nMode: Less than 10", "Enabled\nMode: Less than Max minus 10", "3", "5",
             "OUT OFF", ""});
        row("greater, and maximum minus 0 %", "7000A001EA3", "",
            {"Enabled\nMode: Greater than 10 plus 30 %", "Enabled\nMode: Less than Max", "10",
             "None", " Not defined", "se"});
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
        const QString text = CondSettingsText("7000A0A0AC1", {"10", "10"}, "");
        CondCmdSetForm* report =
            CondCmdSetForm::ShowFor(&main, SetValues("7000A0A0AC1").condCommand());
        QVERIFY(!report->isModal());
        QCOMPARE(report->windowTitle(), "Current Conditional Command settings");
        QCOMPARE(report->ui.Label_Settings->text(), text);
        const int need =
            report->ui.Label_Settings->heightForWidth(report->ui.Label_Settings->width());
        QVERIFY(need <= report->ui.Label_Settings->height());
        const double perTwip = report->logicalDpiX() / 1440.0;
        QCOMPARE(report->pos(),
                 main.frameGeometry().topLeft() + QPoint(int(2850 * perTwip), int(870 * perTwip)));
        const CondCommand changed = SetValues("7000A0A0AC2").condCommand();
        QCOMPARE(CondCmdSetForm::ShowFor(&main, changed), report); // brought forward, not rebuilt
        QCOMPARE(report->ui.Label_Settings->text(), text);
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
