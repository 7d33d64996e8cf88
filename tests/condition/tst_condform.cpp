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

QByteArray Listeners(std::initializer_list<int> addresses) {
    QByteArrayList list;
    for (int a : addresses)
        list << R"({"address": )" + QByteArray::number(a) + R"(, "accepts": ["*"]})";
    return list.join(", ");
}

// The dialog shown over a bench with listeners at 3 and 5 unless told otherwise, opened as the
// main window's loading does.
struct Shown {
    explicit Shown(const settings::Settings& stored, std::initializer_list<int> listeners = {3, 5},
                   const QString& journal = {})
        : bench(BenchJson(Listeners(listeners), journal)), opened(bench.open()), settings(stored),
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

    // The tab order, and no caption cut off at the test font.
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
    }

    // OK's checks. Row: the address list position chosen (-1: left), the command typed, the
    // bits of the two Select boxes to set (-1: left), "s" Send at end and "e" End ticked, the
    // answer to the error box, the word stored (empty: the dialog stays open); the errors
    // listed (empty: no box).
    void okChecks_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("errors");
        const QString send =
            "Send Command at end ... can not be selected when no GPIB address is defined ";
        const QString end =
            "End Measurement Sequence ... must be selected when no GPIB address is defined ";
        QTest::newRow("no address: send, No keeps the dialog open") << "-1||-1|se|No|" << send;
        QTest::newRow("address, no command, nothing selected: two lines")
            << "2||0|se|Yes|3050A0A0AC0"
            << "No Condition selected\nGPIB command not defined";
        QTest::newRow("no address: send and no end, both lines")
            << "-1||2|s|Yes|2000A0A0AC2" << send + "\n" + end;
        QTest::newRow("complete: stored on without a box") << "1|OUT OFF|3|se||7030A0A0AC3"
                                                           << "";
    }
    void okChecks() {
        QFETCH(QString, row);
        QFETCH(QString, errors);
        const QStringList r = row.split('|');
        const QString word = "3000A0A0AC1", command = r[1], stored = r[5];
        platform::ScriptedPlatform sys;
        Shown d(SetValues(word));
        if (r[0].toInt() >= 0) d.ui.Combo_GPIBaddr->setCurrentIndex(r[0].toInt());
        QTest::keyClicks(d.ui.Text_Command, command.toLower());
        QCOMPARE(d.ui.Text_Command->text(), command);
        for (int i = 0; r[2].toInt() >= 0 && i < 2; ++i)
            SetBox(d.form.Check_CondSelect[i], r[2].toInt() >> i & 1);
        SetBox(d.ui.Check_SendAtEnd, r[3].contains('s'));
        SetBox(d.ui.Check_EndSeq, r[3].contains('e'));
        SetBox(d.ui.Check_CondOn, true);
        if (!errors.isEmpty())
            sys.answerBox(r[4] == "Yes" ? Answer::Yes : Answer::No, "Conditional Command Error");
        QTest::mouseClick(d.ui.Button_OK, Qt::LeftButton);
        QCOMPARE(sys.pendingAnswers(), 0);
        if (!errors.isEmpty()) {
            QCOMPARE(sys.boxes[0].text, "The following parameter error(s) have been found:\n\n" +
                                            errors +
                                            "\n\nIf you proceed Conditional Command will be set "
                                            "to OFF.\nDo you want to Continue ?");
            QCOMPARE(sys.boxes[0].icon, platform::Icon::Critical);
            QCOMPARE(sys.boxes[0].buttons, platform::Buttons::YesNo);
        }
        QCOMPARE(d.form.isVisible(), stored.isEmpty());
        QCOMPARE(d.stored.ConditionStatusWord, stored.isEmpty() ? word : stored);
        QCOMPARE(d.stored.ConditionGPIBCommand, stored.isEmpty() ? QString() : command);
        QCOMPARE(d.settings.changed(), !stored.isEmpty() && (stored != word || !command.isEmpty()));
    }

    // Both target boxes: what each typed text leaves, and Backspace after it.
    void targetKeys() {
        Shown d(SetValues(DefaultConditionStatusWord));
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
        QCOMPARE(d.stored.ConditionStatusWord, "7050A0A0AC1");
        QCOMPARE(d.stored.ConditionTargetValue[0], "10");
        QVERIFY(!d.settings.changed());
    }

    // The dialog opened on a word fills every control from it and writes it back.
    void wordComesBack() {
        for (const char* word : {"71E1E1E1E93", "50503001923"}) {
            Shown d(SetValues(word, "X"), {QString(word).mid(1, 2).toInt(nullptr, 16)});
            d.ui.Check_CondOn->toggle();
            d.ui.Check_CondOn->toggle();
            d.form.Button_OK_Click();
            QCOMPARE(d.stored.ConditionStatusWord, word);
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
        d.ui.Combo_GPIBaddr->setCurrentIndex(0);
        QVERIFY(!d.ui.Button_Test->isEnabled());
        // The run's next query goes to the measuring instrument again.
        QVERIFY(!d.bench.instrument().write("MEAS?"));
        QVERIFY(JournalText(journal).endsWith("3 W MEAS?\n"));
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
        QVERIFY(report->ui.Label_Settings->heightForWidth(report->ui.Label_Settings->width()) <=
                report->ui.Label_Settings->height());
        const CondCommand changed = SetValues("7000A0A0AC2").condCommand();
        QCOMPARE(CondCmdSetForm::ShowFor(&main, changed), report); // brought forward, not rebuilt
        QCOMPARE(report->ui.Label_Settings->text(), text);
        QTest::mouseClick(report->ui.Button_OK, Qt::LeftButton);
        QTRY_VERIFY(!CondCmdSetForm::ShowFor(&main, changed)
                         ->ui.Label_Settings->text()
                         .contains("Condition 1: Enabled"));

        CondTerminatedForm term("Mode: Equal to", &main);
        QCOMPARE(term.windowTitle() + '|' + term.ui.Label1->text(),
                 "Reason for Termination: Condition met|Mode: Equal to");
    }
};

QTEST_MAIN(TestCondForm)
#include "tst_condform.moc"
