// The conditions during a run, answer by answer, without a window or a bus.
#include "condition/CondTracker.h"
#include "platform/ScriptedPlatform.h"
#include <QTest>

using platform::Answer;

namespace {
struct Case {
    QString word;
    QStringList answers;
    QString target0 = "10", target1 = "10";
    bool listener = true;
    QList<Answer> box = {}; // answers to the missing-device question; empty: none expected
    // Per answer: "g" light green, "." window colour, then "s" per command sent, then "E"
    // when the run is to end (no answer is fed after it); "|" and an "s" for the end step.
    // "-" alone: the run does not start.
    QString trace;
    QString report = {};
    bool switchedOff = false; // the user went on with the conditional command off
};
} // namespace
Q_DECLARE_METATYPE(Case)

class TestCondTracker : public QObject {
    Q_OBJECT
private slots:
    void run_data() {
        QTest::addColumn<Case>("c");
        const QStringList tenHits = {"9.0", "11.0", "10",   "9.5", "10.5",
                                     "9",   "11",   "10.0", "9.9", "10.1"};
        const QString equalReport = "Mode: Equal to\nTarget Value: 10 within \u00b1 10%\n"
                                    "Actual Meaurement: 10.1\nNumber of valid Measurements: 10";
        // Equal to 10 within 10 %, 10 in a row, address 5, send and end.
        QTest::newRow("equal: the tenth hit in a row sends and ends")
            << Case{.word = "7050A0A0AC1",
                    .answers = tenHits + QStringList{"10"},
                    .trace = "ggggggggg.sE",
                    .report = equalReport};
        QTest::newRow("equal: 12.0 in between starts the count again")
            << Case{.word = "7050A0A0AC1",
                    .answers = QStringList{"10", "10", "12.0"} + tenHits,
                    .trace = "gg.ggggggggg.sE",
                    .report = equalReport};
        QTest::newRow("band ends are single precision: 9.0 and 11.0 hit, 8.99 and 11.01 not")
            << Case{.word = "7050A0A0A41",
                    .answers = {"8.99", "9.0", "11.01", "11.0", "11.01"},
                    .trace = ".g.g.|s"};
        QTest::newRow("count 1: the first hit meets")
            << Case{.word = "70501000041",
                    .answers = {"3", "10", "10"},
                    .trace = "..sE",
                    .report = "Mode: Equal to\nTarget Value: 10\nActual Meaurement: 10\n"
                              "Number of valid Measurements: 1"};
        QTest::newRow("less than 10 minus 10 %: below 9")
            << Case{.word = "70502000A11",
                    .answers = {"8.9", "9", "8,5", "8.99"},
                    .trace = "g.g.sE",
                    .report = "Mode: Less than\nTarget Value: 10 - 10%\n"
                              "Actual Meaurement: 8.99\nNumber of valid Measurements: 2"};
        QTest::newRow("greater than 10 plus 10 %: above 11; report takes a comma answer")
            << Case{.word = "70502000A21",
                    .answers = {"11.5", "11", "11.1", "1.2E1,5"},
                    .trace = "g.g.sE",
                    .report = "Mode: Greater than\nTarget Value: 10 + 10%\n"
                              "Actual Meaurement: 12\nNumber of valid Measurements: 2"};
        QTest::newRow("negative target: low end above high end, formula kept") << Case{
            .word = "70501000A41", .answers = {"-10", "-12"}, .target0 = "-10", .trace = "..|s"};
        QTest::newRow("max minus 10 %: 10, 10, 8.9 hit on the third")
            << Case{.word = "705010A00C2",
                    .answers = {"10", "10", "9", "8.9"},
                    .trace = "....sE",
                    .report = "Mode: Less than Max\nTarget Value: Max minus 10%\n"
                              "Last Max Value: 10\nActual Meaurement: 8.9\n"
                              "Number of valid Measurements: 1"};
        QTest::newRow("max minus 10 %: a negative first answer hits (maximum still 0)")
            << Case{.word = "705020A00C2",
                    .answers = {"-1", "5", "-1", "-2"},
                    .trace = "g.g.sE",
                    .report = "Mode: Less than Max\nTarget Value: Max minus 10%\n"
                              "Last Max Value: 5\nActual Meaurement:-2\n"
                              "Number of valid Measurements: 2"};
        QTest::newRow("max minus amount 2.5")
            << Case{.word = "70501000A42",
                    .answers = {"10", "8", "7.5", "7.4"},
                    .target1 = "2.5",
                    .trace = "....sE",
                    .report = "Mode: Less than Max\nTarget Value: Max minus 2.5\n"
                              "Last Max Value: 10\nActual Meaurement: 7.4\n"
                              "Number of valid Measurements: 1"};
        QTest::newRow("max minus 0 %: percentage left out of the report")
            << Case{.word = "70501000AC2",
                    .answers = {"4", "3.9"},
                    .trace = "..sE",
                    .report = "Mode: Less than Max\nTarget Value: Max\nLast Max Value: 4\n"
                              "Actual Meaurement: 3.9\nNumber of valid Measurements: 1"};
        QTest::newRow("both, no end: each sends once, no end send")
            << Case{.word = "605020A0AC3",
                    .answers = {"10", "10", "10", "5", "5", "5", "10", "5", "5"},
                    .trace = "g.s.g.s...."};
        QTest::newRow("both: condition 2 met first is the one reported")
            << Case{.word = "705020A0AC3",
                    .answers = {"20", "8", "8"},
                    .trace = ".g.sE",
                    .report = "Mode: Less than Max\nTarget Value: Max minus 10%\n"
                              "Last Max Value: 20\nActual Meaurement: 8\n"
                              "Number of valid Measurements: 2"};
        QTest::newRow("send cleared: nothing sent, no presence check, still ends")
            << Case{.word = "50502000AC1",
                    .answers = {"10", "10", "10"},
                    .listener = false,
                    .trace = "g.E",
                    .report = "Mode: Equal to\nTarget Value: 10 within \u00b1 10%\n"
                              "Actual Meaurement: 10\nNumber of valid Measurements: 2"};
        QTest::newRow("send cleared: unmet, nothing at the end")
            << Case{.word = "40502000AC1", .answers = {"1", "1"}, .trace = ".."};
        QTest::newRow("end cleared: met, sends once, the run goes on, no report")
            << Case{.word = "60502000AC1", .answers = {"10", "10", "10", "10"}, .trace = "g.s.."};
        QTest::newRow("unmet: the command goes at the end")
            << Case{.word = "70502000AC1", .answers = {"10", "1"}, .trace = "g.|s"};
        QTest::newRow("off: nothing at all")
            << Case{.word = "3050100A0C1", .answers = {"10"}, .listener = false, .trace = "."};
        QTest::newRow("selection 0: condition 1 is evaluated")
            << Case{.word = "70501000AC0",
                    .answers = {"10"},
                    .trace = ".sE",
                    .report = "Mode: Equal to\nTarget Value: 10 within \u00b1 10%\n"
                              "Actual Meaurement: 10\nNumber of valid Measurements: 1"};
        QTest::newRow("a text answer reads 0")
            << Case{.word = "70501000A11",
                    .answers = {"OVLD"},
                    .trace = ".sE",
                    .report = "Mode: Less than\nTarget Value: 10 - 10%\n"
                              "Actual Meaurement: 0\nNumber of valid Measurements: 1"};
        QTest::newRow("missing device, No: no run, nothing changed") << Case{.word = "7050A0A0AC1",
                                                                             .answers = {},
                                                                             .listener = false,
                                                                             .box = {Answer::No},
                                                                             .trace = "-"};
        QTest::newRow("missing device, Yes: the run goes on without conditions")
            << Case{.word = "7050A0A0AC1",
                    .answers = {"10", "10"},
                    .listener = false,
                    .box = {Answer::Yes},
                    .trace = "..",
                    .switchedOff = true};
    }

    void run() {
        QFETCH(Case, c);
        platform::ScriptedPlatform sys;
        for (Answer a : c.box)
            sys.answerBox(a, "Condtional Command is turned ON");
        const CondCommand command{c.word, {c.target0, c.target1}, "OUT OFF"};

        QString trace;
        int switchedOff = 0;
        RunHooks hooks;
        hooks.isListener = [&](int address) { return c.listener && address == 5; };
        hooks.sendToAddress = [&](int address, const QByteArray& command) {
            QCOMPARE(address, 5);
            QCOMPARE(command, QByteArray("OUT OFF"));
            trace += 's';
        };
        hooks.conditionSwitchedOff = [&] { ++switchedOff; };

        CondTracker tracker(command);
        if (!tracker.begin(hooks)) {
            trace = "-";
        } else {
            QByteArray last;
            bool ended = false;
            for (const QString& a : c.answers) {
                last = a.toLatin1();
                const qsizetype at = trace.size();
                const AnswerVerdict v = tracker.answer(last, hooks);
                trace.insert(at, v.highlight ? 'g' : '.');
                if (v.endRun) {
                    trace += 'E';
                    ended = true;
                    break;
                }
            }
            const qsizetype before = trace.size();
            tracker.end(hooks);
            if (trace.size() > before) trace.insert(before, '|');
            QCOMPARE(tracker.terminationReport(last), ended ? c.report : QString());
        }
        QCOMPARE(trace, c.trace);
        QCOMPARE(sys.pendingAnswers(), 0);
        QCOMPARE(switchedOff, int(c.switchedOff));
        if (!c.box.isEmpty()) {
            QCOMPARE(sys.boxes.size(), 1);
            QCOMPARE(sys.boxes[0].text,
                     "No device with address 5 is present on the bus !\n\nSelect Yes to continue "
                     "with Conditional Command turned OFF  or  No to Exit.");
            QCOMPARE(sys.boxes[0].buttons, platform::Buttons::YesNo);
            QCOMPARE(sys.boxes[0].icon, platform::Icon::Warning);
        }
    }

    // A new run starts the counts and the maximum afresh.
    void secondRunStartsAfresh() {
        int sent = 0;
        RunHooks hooks{[](int) { return true; }, [&](int, const QByteArray&) { ++sent; }, {}};
        const CondCommand command{"70502000AC2", {"10", "10"}, "X"};
        CondTracker tracker(command);
        QVERIFY(tracker.begin(hooks));
        tracker.answer("100", hooks);
        tracker.answer("50", hooks);
        QVERIFY(tracker.begin(hooks));
        QCOMPARE(tracker.maxValue(), 0.0f);
        QVERIFY(!tracker.answer("50", hooks).highlight);
        QVERIFY(!tracker.met());
        QCOMPARE(sent, 0);
    }
};

QTEST_MAIN(TestCondTracker)
#include "tst_condtracker.moc"
