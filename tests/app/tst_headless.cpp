// Runs without a window: the real program on a bench file, its log checked byte for byte but
// for the PC time, its exit codes and its stop signals.
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

Set StartupSet(const QString& folder) {
    return {{"LogFilePath", folder},
            {"LogFileName", "first.csv"},
            {"Interval", "1"},
            {"Sequence", "3"},
            {"PCTime", "1"},
            {"TimeFromStart", "1"},
            {"ID", "1"},
            {"Device", "M401A"},
            {"Query", "MEAS?"}};
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// A log without its PC time column, which no two runs share.
QByteArray WithoutPcTime(const QByteArray& log) {
    QByteArrayList lines = log.split('\n');
    for (QByteArray& line : lines)
        if (line.count(';') >= 2) line = line.mid(line.indexOf(';') + 1);
    return lines.join('\n');
}

// The lines joined by '|', as a log holds them: every line ends in CR LF.
QByteArray Crlf(QByteArray lines) {
    return lines.isEmpty() ? lines : lines.replace('|', "\r\n") + "\r\n";
}

// A store, a log folder and a bench file of their own, and the program run on them.
struct Headless {
    QTemporaryDir dir;
    QProcess p;
    QString logs() const { return dir.filePath("logs"); }

    Headless() {
        QDir(dir.path()).mkpath("config/Sequor");
        QDir(dir.path()).mkpath("logs");
        QFile bench(dir.filePath("bench.json"));
        if (bench.open(QIODevice::WriteOnly)) bench.write(Bench);
    }
    void store(const QString& section, const Set& set) {
        QFile ini(dir.filePath("config/Sequor/Sequor.ini"));
        if (!ini.open(QIODevice::WriteOnly)) return;
        ini.write("[" + section.toUtf8() + "]\n");
        for (auto k = set.begin(); k != set.end(); ++k)
            ini.write(k.key().toUtf8() + "=" + k.value().toUtf8() + "\n");
    }
    void start(const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("SEQUOR_BUS", "sim:" + dir.filePath("bench.json"));
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM"); // no display may be needed
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("SEQUOR_BIN"), args);
    }
    int finish() {
        if (!p.waitForFinished(20000)) p.kill();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    QString err() { return QString::fromLocal8Bit(p.readAllStandardError()); }
};

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo(qEnvironmentVariable("SEQUOR_BIN")).isExecutable(),
                 "SEQUOR_BIN names no program");
    }

    // Each row: the set's changes, the arguments, the status, a text stderr must hold, the
    // log's name and its lines without the PC time, which no two runs share (the window's run
    // logs the same bytes).
    void runs_data() {
        QTest::addColumn<Set>("changes");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QByteArray>("lines");
        const QByteArray head = "sep=;|Time From Start;Sequence;Measured|0:00:00;1;9|0:00:01;2;8.5";
        QTest::newRow("the start-up set") << Set{} << QStringList{"--run", "startup"} << 0 << ""
                                          << "first.csv" << head + "|0:00:02;3;1";
        QTest::newRow("set by name, by address, quiet")
            << Set{{"ID", "2"}, {"ManualGPIBAddress", "3"}, {"SetName", "Night"}}
            << QStringList{"--run", "Night", "-q"} << 0 << ""
            << "first.csv" << head + "|0:00:02;3;1";
        QTest::newRow("missing set")
            << Set{} << QStringList{"--run", "4"} << 1 << "Setting 4 has not been saved."
            << "" << QByteArray();
        QTest::newRow("missing instrument")
            << Set{{"Device", "K2000"}} << QStringList{"--run", "startup"} << 3
            << "No response that matched K2000 was found."
            << "" << QByteArray();
        QTest::newRow("no bus") << Set{} << QStringList{"--run=startup", "--bus", "sim:/no.json"}
                                << 3 << "Initialization Error"
                                << "" << QByteArray();
        QTest::newRow("refused folder")
            << Set{{"LogFilePath", "/sys"}} << QStringList{"--run", "startup"} << 4
            << "File Error: Permission denied."
            << "" << QByteArray();
        QTest::newRow("existing file: the free name")
            << Set{{"LogFileName", "old.csv"}} << QStringList{"--run", "startup"} << 0
            << "Answered Yes"
            << "old_1.csv" << head + "|0:00:02;3;1";
        // Less than 10 - 10 %, once, command to 5, then end: 8.5 meets it.
        QTest::newRow("a condition ends the run")
            << Set{{"ConditionStatusWord", "705010A0A11"}, {"ConditionGPIBCommand", "OUT OFF"}}
            << QStringList{"--run", "startup"} << 0
            << "Terminated\nMode: Less than\nTarget Value: 10 - 10%"
            << "first.csv" << head;
    }
    void runs() {
        QFETCH(Set, changes);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, err);
        QFETCH(QString, log);
        QFETCH(QByteArray, lines);
        Headless h;
        Set set = StartupSet(h.logs());
        set.insert(changes);
        h.store(changes.contains("SetName") ? "Settings2" : "Settings", set);
        QFile old(h.logs() + "/old.csv");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("kept") == 4);
        old.close();
        h.start(args);
        QCOMPARE(h.finish(), status);
        const QString stderrText = h.err();
        QVERIFY2(stderrText.contains(err), qPrintable(stderrText));
        QCOMPARE(ReadAll(h.logs() + "/old.csv"), QByteArray("kept"));
        if (!log.isEmpty()) QCOMPARE(WithoutPcTime(ReadAll(h.logs() + "/" + log)), Crlf(lines));
        if (args.contains("-q")) QCOMPARE(stderrText + h.p.readAllStandardOutput(), QString());
    }

    // A stop signal while the run waits or queries ends it as Stop does; a second one at once.
    // The log always ends on a whole row.
    void stopSignals_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("rows");
        QTest::newRow("SIGTERM mid-wait") << "MEAS?" << 1 << 1;
        QTest::newRow("SIGTERM mid-query: the row is finished") << "SLOW?" << 1 << 1;
        QTest::newRow("twice mid-query: ends at once, without the row") << "SLOW?" << 2 << 0;
    }
    void stopSignals() {
        QFETCH(QString, query);
        QFETCH(int, count);
        QFETCH(int, rows);
        Headless h;
        Set set = StartupSet(h.logs());
        set.insert({{"Query", query}, {"Interval", "30"}});
        h.store("Settings", set);
        h.start({"--run", "startup"});
        // The first row is out when the wait begins; the query is out once the log is open.
        QByteArray seen;
        const auto saw = [&](QProcess::ProcessChannel channel, const char* text) {
            h.p.setReadChannel(channel);
            seen += h.p.readAll();
            return seen.contains(text);
        };
        if (query == "MEAS?")
            QTRY_VERIFY2_WITH_TIMEOUT(saw(QProcess::StandardOutput, "\n"), seen, 10000);
        else
            QTRY_VERIFY2_WITH_TIMEOUT(saw(QProcess::StandardError, "Log: "), seen, 10000);
        const pid_t pid = pid_t(h.p.processId());
        QVERIFY(pid > 0); // kill(0) would signal this whole process group
        QElapsedTimer clock;
        clock.start();
        ::kill(pid, SIGTERM);
        if (count == 2) {
            // Two signals sent at once would arrive as one.
            QTRY_VERIFY2_WITH_TIMEOUT(saw(QProcess::StandardError, "SIGTERM: "), seen, 5000);
            ::kill(pid, SIGTERM);
        }
        QCOMPARE(h.finish(), cli::Exit::Interrupted);
        // A wait ends at once, a query when its answer is in (2 s), a second signal at once.
        const qint64 limit = query == "SLOW?" && count == 1 ? 3000 : 1000;
        QVERIFY2(clock.elapsed() < limit, qPrintable(QString::number(clock.elapsed())));
        const QByteArray logged = ReadAll(h.logs() + "/first.csv");
        QVERIFY2(logged.endsWith("\r\n"), logged);
        QCOMPARE(logged.count('\n'), 2 + rows);
        const QByteArrayList lines = logged.split('\n');
        for (const QByteArray& row : lines.mid(2))
            QVERIFY2(row.isEmpty() || row.count(';') == lines[1].count(';'), logged);
    }
};

QTEST_MAIN(TestHeadless)
#include "tst_headless.moc"
