// Runs without a window: the real program on a bench file, its log checked byte for byte, its
// exit codes and its stop sigterms.
#include "FileBytes.h"
#include "common/CommandLine.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

// Instrument 3 answers MEAS? in turn and SLOW? after 2 s (within its 3 s timeout); 5 takes
// any command, so a conditional command can reach it.
const QByteArray Bench = R"({ "instruments": [
  { "address": 3, "status": "ieee488.2",
    "replies": { "*IDN?": "SIMLAB,M401A,0,1.0", "MEAS?": ["9", "8.5", "1", " 2.5E+01"],
                 "SLOW?": { "answer": "4", "delay_ms": 2000 } } },
  { "address": 5, "accepts": ["*"] } ] })";

using Set = QMap<QString, QString>;

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private slots:
    // Each row: the start-up set's changes, the arguments, SIGTERMs sent (once the first row
    // is out, or with SLOW? once the query is), the status, a text stderr must hold, and the
    // log's lines (the window's run logs the same bytes).
    void runs_data() {
        QTest::addColumn<Set>("changes");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("sigterms");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QByteArray>("lines");
        const QStringList startup = {"--run", "startup"};
        const QByteArray head = "sep=;|Time From Start;Sequence;Measured",
                         one = head + "|0:00:00;1;9", two = one + "|0:00:01;2;8.5";
        const Set slow = {{"Query", "SLOW?"}};
        QTest::newRow("set by name, by address, quiet")
            << Set{{"ID", "2"}, {"ManualGPIBAddress", "3"}, {"SetName", "Night"}}
            << QStringList{"--run", "Night", "-q"} << 0 << 0 << "" << two + "|0:00:02;3;1";
        QTest::newRow("missing set") << Set{} << QStringList{"--run", "4"} << 0 << 1
                                     << "Setting 4 has not been saved." << QByteArray();
        QTest::newRow("missing instrument")
            << Set{{"Device", "K2000"}} << startup << 0 << 3
            << "No response that matched K2000 was found." << QByteArray();
        QTest::newRow("refused folder") << Set{{"LogFilePath", "/sys"}} << startup << 0 << 4
                                        << "File Error: Permission denied." << QByteArray();
        QTest::newRow("existing file: the free name")
            << Set{{"LogFileName", "old.csv"}} << startup << 0 << 0 << "Answered Yes"
            << two + "|0:00:02;3;1";
        // Less than 10 - 10 %, once, command to 5, then end: 8.5 meets it.
        QTest::newRow("a condition ends the run")
            << Set{{"ConditionStatusWord", "705010A0A11"}, {"ConditionGPIBCommand", "OUT OFF"}}
            << startup << 0 << 0 << "Terminated\nMode: Less than\nTarget Value: 10 - 10%" << two;
        // A stop signal ends the run as Stop does, a second one at once; the log ends on a
        // whole row.
        const int stopped = cli::Exit::Interrupted;
        QTest::newRow("SIGTERM mid-wait")
            << Set{{"Interval", "30"}} << startup << 1 << stopped << "" << one;
        QTest::newRow("SIGTERM mid-query: the row is finished")
            << slow << startup << 1 << stopped << "" << head + "|0:00:00;1;4";
        QTest::newRow("twice mid-query: ends at once, without the row")
            << slow << startup << 2 << stopped << "" << head;
    }
    void runs() {
        QFETCH(Set, changes);
        QFETCH(QStringList, args);
        QFETCH(int, sigterms);
        QFETCH(int, status);
        QFETCH(QString, err);
        QFETCH(QByteArray, lines);
        // A store, a log folder and a bench file of its own.
        QTemporaryDir dir;
        const QString logs = dir.filePath("logs");
        QVERIFY(QDir(dir.path()).mkpath("config/Sequor") && QDir(dir.path()).mkpath("logs"));
        QFile bench(dir.filePath("bench.json")), old(logs + "/old.csv");
        QVERIFY(bench.open(QIODevice::WriteOnly) && bench.write(Bench) == Bench.size());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("kept") == 4);
        bench.close();
        old.close();
        Set set = {{"LogFilePath", logs}, {"LogFileName", "first.csv"},
                   {"Interval", "1"},     {"Sequence", "3"},
                   {"PCTime", "0"},       {"TimeFromStart", "1"},
                   {"ID", "1"},           {"Device", "M401A"},
                   {"Query", "MEAS?"}};
        set.insert(changes);
        QFile ini(dir.filePath("config/Sequor/Sequor.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(changes.contains("SetName") ? "[Settings2]\n" : "[Settings]\n");
        for (auto k = set.begin(); k != set.end(); ++k)
            ini.write(k.key().toUtf8() + "=" + k.value().toUtf8() + "\n");
        ini.close();

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("SEQUOR_BUS", "sim:" + bench.fileName());
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM"); // no display may be needed
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("SEQUOR_BIN"), args);
        QByteArray seen;
        const auto saw = [&](QProcess::ProcessChannel channel, const char* text) {
            p.setReadChannel(channel);
            seen += p.readAll();
            return seen.contains(text);
        };
        const bool slowQuery = set["Query"] == "SLOW?";
        if (sigterms)
            QTRY_VERIFY2_WITH_TIMEOUT(slowQuery ? saw(QProcess::StandardError, "Log: ")
                                                : saw(QProcess::StandardOutput, "\n"),
                                      seen, 10000);
        QElapsedTimer clock;
        clock.start();
        for (int n = 0; n < sigterms; ++n) {
            // Two sigterms sent at once would arrive as one.
            if (n) QTRY_VERIFY2_WITH_TIMEOUT(saw(QProcess::StandardError, "SIGTERM: "), seen, 5000);
            QVERIFY(p.processId() > 0); // kill(0) would signal this whole process group
            ::kill(pid_t(p.processId()), SIGTERM);
        }
        if (!p.waitForFinished(20000)) p.kill();
        QCOMPARE(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, status);
        // A wait ends at once, a query when its answer is in (2 s), a second signal at once.
        const qint64 limit = slowQuery && sigterms == 1 ? 3000 : 1000;
        if (sigterms)
            QVERIFY2(clock.elapsed() < limit, qPrintable(QString::number(clock.elapsed())));
        const QString stderrText = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(stderrText.contains(err), qPrintable(stderrText));
        QCOMPARE(ReadAll(logs + "/old.csv"), QByteArray("kept"));
        // The log under the set's name, or the free one; none where the run did not start.
        const QString log = changes.contains("LogFileName") ? "/old_1.csv" : "/first.csv";
        QCOMPARE(ReadAll(logs + log), lines.isEmpty() ? "<none>" : Crlf(lines));
        if (args.contains("-q")) QCOMPARE(stderrText + p.readAllStandardOutput(), QString());
    }
};

QTEST_MAIN(TestHeadless)
#include "tst_headless.moc"
