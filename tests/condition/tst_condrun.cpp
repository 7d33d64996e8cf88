// Whole runs with the conditional command on the simulated bench: the log, the end state, the
// report, and what reached the second device according to the bench journal.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "condition/CondSettings.h"
#include "condition/ui/CondForm.h"
#include "condition/ui/CondTerminatedForm.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using platform::Answer;

namespace {
const QString Completed = "Completed", Terminated = "Terminated", NoRun = "";

// word: the status word (second device at 5, command "OUT OFF"). answers: instrument 3's
// answers to MEAS?. second: "accepts" (at 5, takes any command), "refuses" (at 5, every
// command a driver error 6) or "absent". boxes: the titles expected, answered in turn.
// logged: the measured column. shades: per row, "g" light green or "." window colour.
// sends: how often the command reached the second device.
struct Case {
    QString word;
    QByteArray answers;
    int sequences = 5;
    QString second = "accepts";
    QStringList boxes = {};
    QList<Answer> replies = {};
    QByteArray logged = {};
    QString shades = {};
    QString end = Completed;
    int sends = 0;
    QString report = {};
    QString wordAfter = {};
    QString target1 = "10";
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString EqualReport = "Mode: Equal to\nTarget Value: 10 within \u00b1 10%\n"
                            "Actual Meaurement: 10.5\nNumber of valid Measurements: 3";
} // namespace
Q_DECLARE_METATYPE(Case)

class TestCondRun : public QObject {
    Q_OBJECT
private slots:
    void run_data() {
        QTest::addColumn<Case>("c");
        // Equal to 10 within 10 %, 3 in a row, address 5, send and end: 7050300 0AC1.
        QTest::newRow("equal: a miss starts the count again; the third hit sends and ends")
            << Case{.word = "705030A0AC1",
                    .answers = R"(["9", "10", "12", "9.0", "11.0", "10.5", "10"])",
                    .sequences = 10,
                    .logged = "9|10|12|9.0|11.0|10.5",
                    .shades = "gg.gg.",
                    .end = Terminated,
                    .sends = 1,
                    .report = EqualReport};
        QTest::newRow("count 1, less than 10 minus 10 %: the first hit")
            << Case{.word = "705010A0A11",
                    .answers = R"(["9", "8.5", "1"])",
                    .logged = "9|8.5",
                    .shades = "..",
                    .end = Terminated,
                    .sends = 1,
                    .report = "Mode: Less than\nTarget Value: 10 - 10%\nActual Meaurement: 8.5\n"
                              "Number of valid Measurements: 1"};
        QTest::newRow("greater than 10 plus 10 %, never met: sent at the end")
            << Case{.word = "705020A0A21",
                    .answers = R"(["12", "11", "12", "10"])",
                    .sequences = 4,
                    .logged = "12|11|12|10",
                    .shades = "g.g.",
                    .sends = 1};
        QTest::newRow("maximum minus 10 %: 10, 10, 8.9 meets on the third")
            << Case{.word = "705010A00C2",
                    .answers = R"(["10", "10", "9", "8.9", "1"])",
                    .logged = "10|10|9|8.9",
                    .shades = "....",
                    .end = Terminated,
                    .sends = 1,
                    .report = "Mode: Less than Max\nTarget Value: Max minus 10%\n"
                              "Last Max Value: 10\nActual Meaurement: 8.9\n"
                              "Number of valid Measurements: 1"};
        QTest::newRow("maximum minus 2.5, answers with units")
            << Case{.word = "705020A0A42",
                    .answers = R"(["+1.00E+01VDC", "+7.4E+00VDC", "+7.0E+00VDC", "1"])",
                    .logged = "+1.00E+01VDC|+7.4E+00VDC|+7.0E+00VDC",
                    .shades = ".g.",
                    .end = Terminated,
                    .sends = 1,
                    .report = "Mode: Less than Max\nTarget Value: Max minus 2.5\n"
                              "Last Max Value: 10\nActual Meaurement: 7\n"
                              "Number of valid Measurements: 2",
                    .target1 = "2.5"};
        QTest::newRow("both, end cleared: each sends once, run completes, nothing at the end")
            << Case{.word = "605020A0AC3",
                    .answers = R"(["10", "10", "10", "5", "5", "5"])",
                    .sequences = 6,
                    .logged = "10|10|10|5|5|5",
                    .shades = "g..g..",
                    .sends = 2};
        QTest::newRow("send cleared: nothing sent, no presence check, still ends")
            << Case{.word = "505020A0AC1",
                    .answers = R"(["10", "10", "10"])",
                    .second = "absent",
                    .logged = "10|10",
                    .shades = "g.",
                    .end = Terminated,
                    .report = "Mode: Equal to\nTarget Value: 10 within \u00b1 10%\n"
                              "Actual Meaurement: 10\nNumber of valid Measurements: 2"};
        QTest::newRow("missing second device, Yes: the run goes on without conditions")
            << Case{.word = "705010A0AC1",
                    .answers = R"(["10", "10"])",
                    .sequences = 2,
                    .second = "absent",
                    .boxes = {"Condtional Command is turned ON"},
                    .replies = {Answer::Yes},
                    .logged = "10|10",
                    .shades = "..",
                    .wordAfter = "305010A0AC1"};
        QTest::newRow("missing second device, No: no run")
            << Case{.word = "705010A0AC1",
                    .answers = R"(["10"])",
                    .second = "absent",
                    .boxes = {"Condtional Command is turned ON"},
                    .replies = {Answer::No},
                    .end = NoRun};
        QTest::newRow("the command is refused, OK: the run still ends by the condition")
            << Case{.word = "705020A0AC1",
                    .answers = R"(["10", "10", "10"])",
                    .second = "refuses",
                    .boxes = {"GPIB ERROR # 6"},
                    .replies = {Answer::Ok},
                    .logged = "10|10",
                    .shades = "g.",
                    .end = Terminated,
                    .report = "Mode: Equal to\nTarget Value: 10 within \u00b1 10%\n"
                              "Actual Meaurement: 10\nNumber of valid Measurements: 2"};
        QTest::newRow("off: the answers are only logged") << Case{.word = "305010A0AC1",
                                                                  .answers = R"(["10", "10"])",
                                                                  .sequences = 2,
                                                                  .second = "absent",
                                                                  .logged = "10|10",
                                                                  .shades = ".."};
    }

    void run() {
        QFETCH(Case, c);
        QTemporaryDir dir;
        const QString journal = dir.filePath("journal");
        QByteArray second;
        if (c.second == "accepts") second = R"(, { "address": 5, "accepts": ["*"] })";
        if (c.second == "refuses")
            second = R"(, { "address": 5, "replies": { "OUT OFF": { "write_error": 6 } } })";
        FormFixture f(BenchJson(
            R"({ "address": 3, "replies": { "MEAS?": )" + c.answers + " } }" + second, journal));
        QVERIFY(f.start());
        Ui::MainForm* ui = f.ui();
        ui->Text_Path->setText(dir.path());
        f.p.Option_ID[2]->click();
        ui->Combo_Addr->setCurrentText("3");
        f.p.Button_Connect_Click();
        ui->Text_MeasQuery->setText("MEAS?");
        f.p.Text_Time[0]->setText("1");
        f.p.Text_Time[1]->setText(QString::number(c.sequences));
        f.p.Button_ApplyTime_Click();
        settings::Settings& settings = f.p.settings;
        settings.setDecimalSeparator(".");
        settings.setCondCommand({c.word, {"10", c.target1}, "OUT OFF"});
        f.p.CondOnIndicator(settings.condOn()); // as the dialog or a recall leaves it
        settings.markSaved();
        ui->Menu_ViewTerm->setEnabled(true); // as a previous termination leaves it
        for (int i = 0; i < c.boxes.size(); ++i)
            f.sys.answerBox(c.replies.value(i), c.boxes[i]);
        QFile::remove(journal);

        QString shades;
        QObject::connect(f.form.get(), &MainForm::rowLogged, [&] {
            const QColor base = ui->Text_MeasResponse->palette().color(QPalette::Base);
            shades += base == QColor(192, 255, 192) ? 'g' : '.';
        });
        QObject::connect(f.form.get(), &MainForm::timerArmed,
                         [&] { QTimer::singleShot(0, [&] { f.p.Timer1_Timer(); }); });
        QString shownReport;
        int reportWindows = 0;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* term = qobject_cast<CondTerminatedForm*>(QApplication::activeModalWidget())) {
                ++reportWindows;
                shownReport = term->ui.Label1->text();
                term->ui.Button_OK->click();
            }
        });
        closer.start(10);
        f.p.Button_Start_Click();
        closer.stop();

        QCOMPARE(f.sys.pendingAnswers(), 0);
        QCOMPARE(f.sys.boxes.size(), c.boxes.size());
        const QString log = dir.filePath("Test.csv");
        QCOMPARE(QFile::exists(log), c.end != NoRun);
        // Every command to the second device, and the queries in between back at 3.
        const QString lines = JournalText(journal);
        QCOMPARE(lines.count("5 W OUT OFF\n"), c.sends);
        QVERIFY2(
            !QRegularExpression("^[^35]|^5 W (?!OUT OFF)|^5 R", QRegularExpression::MultilineOption)
                 .match(lines)
                 .hasMatch(),
            qPrintable(lines));
        QCOMPARE(settings.condCommand().ConditionStatusWord,
                 c.wordAfter.isEmpty() ? c.word : c.wordAfter);
        QCOMPARE(settings.changed(), !c.wordAfter.isEmpty());
        QCOMPARE(ui->Menu_ShowConditional->isEnabled(), settings.condOn());
        const QString& termReason = f.p.run.Result.TermReason;
        if (c.end == NoRun) {
            // Start has already put the old report away before the question.
            QVERIFY(!ui->Menu_ViewTerm->isEnabled() && termReason.isEmpty());
            return;
        }
        QByteArray measured;
        for (const QByteArray& row : ReadAll(log).split('\n').mid(2))
            if (!row.isEmpty())
                measured += (measured.isEmpty() ? "" : "|") + row.split(';').last().trimmed();
        QCOMPARE(measured, c.logged);
        QCOMPARE(lines.count("3 W MEAS?\n"), c.logged.count('|') + 1);
        QCOMPARE(shades, c.shades);
        QCOMPARE(ui->Label_CurrentSequence->text(), c.end);
        const bool red =
            ui->Label_CurrentSequence->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
        QCOMPARE(red, c.end == Terminated);
        QCOMPARE(termReason, c.report);
        QCOMPARE(reportWindows, int(c.end == Terminated));
        QCOMPARE(shownReport, c.report);
        QCOMPARE(ui->Menu_ViewTerm->isEnabled(), c.end == Terminated);
        if (c.end == Terminated) {
            f.sys.answerBox(Answer::Ok, "Reason for Termination: Condition met");
            ui->Menu_ViewTerm->trigger();
            QCOMPARE(f.sys.boxes.last().text, c.report);
            QCOMPARE(f.sys.boxes.last().icon, platform::Icon::Information);
        }
    }

    // Both ways of opening the dialog refresh the indicator when it closes, OK or Cancel.
    void dialogRefreshesTheIndicator() {
        FormFixture f(BenchJson(R"({ "address": 3 }, { "address": 5 })"));
        QVERIFY(f.start());
        Ui::MainForm* ui = f.ui();
        f.p.settings.setCondCommand({"705010A0AC1", {"10", "10"}, "OUT OFF"});
        f.p.settings.markSaved();
        f.p.CondOnIndicator(false);
        int opened = 0;
        QTimer closer;
        bool ok = false;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* form = qobject_cast<CondForm*>(QApplication::activeModalWidget())) {
                ++opened;
                if (ok) {
                    form->ui.Check_CondOn->setChecked(false);
                    form->ui.Button_OK->click();
                } else {
                    form->ui.Button_Cancel->click();
                }
            }
        });
        closer.start(10);
        QVERIFY(ui->Button_CondCommand->text() == "C&onditional Command");
        ui->Button_CondCommand->click();
        // Cancel: the word says on, and nothing was stored.
        QVERIFY(ui->Menu_ShowConditional->isEnabled() && !f.p.settings.changed());
        QVERIFY(ui->Frame4->title().contains("ON"));
        ok = true;
        QCOMPARE(ui->Menu_Conditional->text(), "&Conditional Command");
        ui->Menu_Conditional->trigger();
        closer.stop();
        QCOMPARE(opened, 2);
        QCOMPARE(f.p.settings.condCommand().ConditionStatusWord, "305010A0AC1");
        QVERIFY(!ui->Menu_ShowConditional->isEnabled() && f.p.settings.changed());
        QVERIFY(ui->Frame4->title().contains("OFF"));
    }
};

QTEST_MAIN(TestCondRun)
#include "tst_condrun.moc"
