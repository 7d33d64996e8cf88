// The conditions during a run: answer by answer through the tracker, then whole runs on the
// simulated bench (the log, the end state, the report, and what reached the second device).
#include "FormFixture.h"
#include "condition/CondTracker.h"
#include "condition/ui/CondTerminatedForm.h"
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using platform::Answer;

namespace {
// "mode|target|actual|count" or "mode|target|last max|actual|count"; the actual value is
// written with its own leading space, as the report does.
QString Report(const QString& fields) {
    const QStringList f = fields.split('|');
    const bool max = f.size() == 5;
    return "Mode: " + f[0] + "\nTarget Value: " + f[1] +
           (max ? "\nLast Max Value: " + f[2] : QString()) +
           "\nActual Meaurement:" + f[f.size() - 2] + "\nNumber of valid Measurements: " + f.last();
}

// Per answer: "g" light green, "." window colour, then "s" per command sent, then "E" when the
// run is to end (no answer is fed after it); "|" and an "s" for the end step. "-" alone: the
// run does not start; "o" first: it goes on with the conditions switched off.
struct Step {
    QString word, answers, trace, report = {};
    QList<Answer> box = {}; // answers to the missing-device question; none: the device is there
};

} // namespace
Q_DECLARE_METATYPE(Step)

class TestCondRun : public QObject {
    Q_OBJECT
private slots:
    void tracker_data() {
        QTest::addColumn<Step>("c");
        const QString tenHits = "9.0 11.0 10 9.5 10.5 9 11 10.0 9.9 10.1";
        auto row = [](const char* name, Step s) { QTest::newRow(name) << s; };
        // Equal to 10 within 10 %, 10 in a row, address 5, send and end.
        row("equal: a miss starts the count again; the tenth hit sends and ends",
            {"7050A0A0AC1", "10 10 12.0 " + tenHits, "gg.ggggggggg.sE",
             Report("Equal to|10 within \u00b1 10%| 10.1|10")});
        row("less than 10 minus 10 %: below 9",
            {"70502000A11", "8.9 9 8,5 8.99", "g.g.sE", Report("Less than|10 - 10%| 8.99|2")});
        row("max minus 10 %: a negative first answer hits (maximum still 0)",
            {"705020A00C2", "-1 5 -1 -2", "g.g.sE", Report("Less than Max|Max minus 10%|5|-2|2")});
        row("both, no end: each sends once, the run goes on",
            {"605020A0AC3", "10 10 10 5 5 5 10 5 5", "g.s.g.s...."});
        row("off: nothing at all", {"3050100A0C1", "10", "."});
        row("missing device, No: no run", {"7050A0A0AC1", "", "-", {}, {Answer::No}});
        row("missing device, Yes: the run goes on without conditions",
            {"7050A0A0AC1", "10 10", "o..", {}, {Answer::Yes}});
    }
    void tracker() {
        QFETCH(Step, c);
        platform::ScriptedPlatform sys;
        for (Answer a : c.box)
            sys.answerBox(a, "Condtional Command is turned ON");
        QString trace;
        RunHooks hooks;
        hooks.isListener = [&](int address) { return c.box.isEmpty() && address == 5; };
        hooks.sendToAddress = [&](int address, const QByteArray& command) {
            QCOMPARE(address, 5);
            QCOMPARE(command, QByteArray("OUT OFF"));
            trace += 's';
        };
        hooks.conditionSwitchedOff = [&] { trace += 'o'; }; // went on with it off

        const CondCommand command{c.word, {"10", "10"}, "OUT OFF"};
        CondTracker tracker(command); // it keeps a reference
        if (!tracker.begin(hooks)) {
            trace = "-";
        } else {
            QByteArray last;
            for (const QString& a : c.answers.split(' ', Qt::SkipEmptyParts)) {
                last = a.toLatin1();
                const qsizetype at = trace.size();
                const AnswerVerdict v = tracker.answer(last, hooks);
                trace.insert(at, v.highlight ? 'g' : '.');
                if (v.endRun) {
                    trace += 'E';
                    break;
                }
            }
            const qsizetype before = trace.size();
            tracker.end(hooks);
            if (trace.size() > before) trace.insert(before, '|');
            QCOMPARE(tracker.terminationReport(last), trace.endsWith('E') ? c.report : QString());
            // A new run starts the counts and the maximum afresh.
            if (c.box.isEmpty()) {
                QVERIFY(tracker.begin(hooks));
                QVERIFY(tracker.maxValue() == 0.0f && !tracker.met());
            }
        }
        QCOMPARE(trace, c.trace);
        QCOMPARE(sys.pendingAnswers(), 0);
        if (!c.box.isEmpty())
            QCOMPARE(sys.boxes[0].text,
                     "No device with address 5 is present on the bus !\n\nSelect Yes to continue "
                     "with Conditional Command turned OFF  or  No to Exit.");
    }

    // A whole run on the main window, ended by the condition: equal to 10 within 10 %, three in
    // a row. The second device refuses the command (a driver error 6); the run still ends.
    void run() {
        QTemporaryDir dir;
        const QString journal = dir.filePath("journal");
        FormFixture f(BenchJson(
            R"({ "address": 3, "replies": { "MEAS?": ["9", "10", "12", "9.0", "11.0", "10.5"] } },
               { "address": 5, "replies": { "OUT OFF": { "write_error": 6 } } })",
            journal));
        QVERIFY(f.start());
        Ui::MainForm* ui = f.ui();
        ui->Text_Path->setText(dir.path());
        f.p.ConnectAndApplyTiming("3", "MEAS?", 1, 10);
        f.p.settings.setDecimalSeparator(".");
        f.p.settings.setCondCommand({"705030A0AC1", {"10", "10"}, "OUT OFF"});
        f.p.CondOnIndicator(true); // as the dialog or a recall leaves it
        f.sys.answerBox(Answer::Ok, "GPIB ERROR # 6");
        QFile::remove(journal);

        QString shades; // and "S" for a row logged while Start could start another run
        QObject::connect(f.form.get(), &MainForm::rowLogged, [&] {
            const QColor base = ui->Text_MeasResponse->palette().color(QPalette::Base);
            shades += base == QColor(192, 255, 192) ? 'g' : '.';
            if (ui->Button_Start->isEnabled()) shades += 'S';
        });
        QObject::connect(f.form.get(), &MainForm::timerArmed,
                         [&] { QTimer::singleShot(0, [&] { f.p.Timer1_Timer(); }); });
        QString shownReport;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* term = qobject_cast<CondTerminatedForm*>(QApplication::activeModalWidget())) {
                shownReport += term->ui.Label1->text();
                term->ui.Button_OK->click();
            }
        });
        closer.start(10);
        f.p.Button_Start_Click();
        closer.stop();

        QCOMPARE(f.sys.pendingAnswers(), 0); // the refusal was shown
        // Six queries at 3, the command once at 5 (refused, so not in the journal), nothing else.
        const QString lines = JournalText(journal);
        QCOMPARE(lines.count("3 W MEAS?\n"), 6);
        QVERIFY2(!lines.contains(QRegularExpression("^[^3]", QRegularExpression::MultilineOption)),
                 qPrintable(lines));
        QFile file(dir.filePath("Test.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList measured;
        for (const QByteArray& row : file.readAll().trimmed().split('\n').mid(2))
            measured << row.split(';').last().trimmed();
        QCOMPARE(measured.join('|'), "9|10|12|9.0|11.0|10.5");
        QCOMPARE(shades, "gg.gg.");
        QCOMPARE(ui->Label_CurrentSequence->text(), "Terminated");
        QCOMPARE(ui->Label_CurrentSequence->palette().color(QPalette::WindowText), QColor(Qt::red));
        const QString report = Report("Equal to|10 within \u00b1 10%| 10.5|3");
        QCOMPARE(shownReport, report); // shown once
        f.sys.answerBox(Answer::Ok, "Reason for Termination: Condition met");
        ui->Menu_ViewTerm->trigger();
        QCOMPARE(f.sys.boxes.last().text, report);
    }
};

QTEST_MAIN(TestCondRun)
#include "tst_condrun.moc"
