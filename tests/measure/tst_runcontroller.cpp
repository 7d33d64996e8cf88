// Whole runs of the run controller on the simulated bench, without a window: what it emits is
// what the log holds, byte for byte, and stop(), a refused write, a met condition and a bad
// answer end it.
#include "FileBytes.h"
#include "TestBench.h"
#include "measure/LogFile.h"
#include "measure/RunController.h"
#include "platform/Process.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>

namespace {
// Ends the run at the answer given, as a met condition does ("-": takes no part).
struct EndAt : RunConditions {
    QByteArray at;
    bool begin(const RunHooks&) override { return true; }
    bool takesPart() const override { return at != "-"; }
    AnswerVerdict answer(const QByteArray& a, const RunHooks&) override {
        return {!at.isEmpty(), a == at};
    }
    void end(const RunHooks&) override {}
    QString terminationReport(const QByteArray& last) const override { return "met at " + last; }
};

struct Continue : bus::ErrorPolicy {
    bus::Next decide(const bus::Error&) override { return bus::Next::Continue; }
};

} // namespace

class TestRunController : public QObject {
    Q_OBJECT
private slots:
    // As the program does at its start: a refused write is an error, not the end of the process.
    void initTestCase() { platform::KeepRunningPastFileSizeLimit(); }

    // stop: "row N" stops as row N is shown, "wait" as the first wait is armed, "write" makes
    // the system refuse the third row; endAt: the answer a condition ends the run at. rows: the
    // answers logged, '|'-joined. A "decimal" row asks for decimal notation.
    void run_data() {
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QByteArray>("endAt");
        QTest::addColumn<int>("end");
        QTest::addColumn<QByteArray>("rows");
        auto row = [](const char* name, const char* stop, const char* endAt, int end,
                      const char* rows) {
            QTest::newRow(name) << stop << QByteArray(endAt) << end << QByteArray(rows);
        };
        const int completed = RunResult::Completed, stopped = RunResult::Stopped;
        row("completed", "", "", completed, "+1|+2|+3");
        row("stop as row 2 shows", "row 2", "", stopped, "+1|+2");
        row("stop in the wait", "wait", "", stopped, "+1");
        row("a refused write ends it", "write", "", stopped, "+1|+2");
        row("a condition ends it", "", "+2", RunResult::Terminated, "+1|+2");
        row("conditions taking no part are not asked", "", "-", completed, "+1|+2|+3");
        row("decimal: no number", "", "", stopped,
            "Invalid Measurement, Sequence terminated by program.\r\nX");
    }
    void run() {
        QFETCH(QString, stop);
        QFETCH(QByteArray, endAt);
        QFETCH(int, end);
        QFETCH(QByteArray, rows);
        const bool decimal = QByteArray(QTest::currentDataTag()).startsWith("decimal");
        const QByteArray replies = decimal ? R"(["X", "+2"])" : R"(["+1", "+2", "+3"])";
        BenchGuard bench(BenchJson(R"({ "address": 3, "replies": { "MEAS?": )" + replies + " } }"));
        QVERIFY(!bench.open());
        bench.instrument().setAddress(3);
        Continue policy;
        RunController run(bench.instrument(), bench.listeners, policy);
        auto conditions = std::make_unique<EndAt>();
        conditions->at = endAt;
        run.setConditions(std::move(conditions));
        QTemporaryDir dir;
        RunSettings s{.query = "MEAS?",
                      .columns = {false, false, true},
                      .sequenceCount = 3,
                      .intervalSeconds = stop == "wait" ? 60.0f : 0.0f,
                      .logPath = dir.filePath("Test.csv"),
                      .logName = "Test.csv",
                      .measurement = {}};
        s.measurement.DecNotation = decimal;

        QByteArray written = "sep=;\r\n" + HeaderLine(s.columns) + "\r\n", shown;
        QString failed;
        RunResult result;
        result.end = RunResult::End(-1);
        connect(&run, &RunController::rowMeasured, this, [&](const RunRow& row) {
            QVERIFY(row.judged == (endAt != "-"));
            QCOMPARE(row.logged, stop != "write" || row.seq < 3);
            if (!row.logged) return;
            written += row.line + "\r\n";
            shown += (shown.isEmpty() ? "" : "|") + row.line.mid(row.line.indexOf(';') + 1);
            if (stop == "row " + QString::number(row.seq)) run.stop();
        });
        connect(&run, &RunController::timerArmed, this, [&](int ms) {
            QCOMPARE(ms, 60000);
            if (stop == "wait") run.stop();
        });
        connect(&run, &RunController::failed, this,
                [&](const QString& title, const QString&) { failed = title; });
        connect(&run, &RunController::finished, this, [&](const RunResult& r) { result = r; });
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        // Two rows and the start of the third, which must not stay torn.
        const rlimit limited = {rlim_t(written.size() + 15), unlimited.rlim_max};
        if (stop == "write") setrlimit(RLIMIT_FSIZE, &limited);
        QVERIFY(run.prepare());
        const bool ran = run.run(s);
        setrlimit(RLIMIT_FSIZE, &unlimited);
        QVERIFY(ran);

        QCOMPARE(int(result.end), end);
        QCOMPARE(result.TermReason, end == RunResult::Terminated ? "met at " + endAt : QString());
        QCOMPARE(shown, rows);
        QCOMPARE(ReadAll(s.logPath), written); // every row emitted is in the file, as emitted
        QCOMPARE(failed, decimal           ? "Measurement format error"
                         : stop == "write" ? "File Error"
                                           : "");
        QVERIFY(!run.running());
    }
};

QTEST_GUILESS_MAIN(TestRunController)
#include "tst_runcontroller.moc"
