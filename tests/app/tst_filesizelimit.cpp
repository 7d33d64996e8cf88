// The real sequor process keeps running when a write goes over the system's file-size limit:
// the write fails (and a run then ends with its box) instead of the signal ending the program.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

class TestFileSizeLimit : public QObject {
    Q_OBJECT
private slots:
    void programSurvivesTheLimit() {
        const QString program = qEnvironmentVariable("SEQUOR_BIN");
        QVERIFY2(QFileInfo(program).isExecutable(), "SEQUOR_BIN names no program");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // The bench journals every bus call of the start-up scan into a file, which soon
        // reaches the limit set below.
        const QString journal = dir.filePath("journal.txt");
        QFile bench(dir.filePath("bench.json"));
        QVERIFY(bench.open(QIODevice::WriteOnly));
        bench.write(R"({ "journal": ")" + journal.toUtf8() +
                    R"(", "instruments": [ { "address": 3, "replies": {} } ] })");
        bench.close();

        constexpr rlim_t limit = 5; // the start-up scan journals more than this
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SEQUOR_BUS", "sim:" + bench.fileName());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", dir.path());
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([] {
            const rlimit r{limit, limit};
            setrlimit(RLIMIT_FSIZE, &r);
        });
        p.start(program, {});
        QVERIFY2(p.waitForStarted(), qPrintable(p.errorString()));
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(journal).size(), qint64(limit), 15000);
        QTest::qWait(500); // later writes are refused too; they must not end it either
        const bool running = p.state() == QProcess::Running;
        const int signal = p.exitStatus() == QProcess::CrashExit ? p.exitCode() : 0;
        p.kill();
        p.waitForFinished(5000);
        QVERIFY2(running, qPrintable(QString("ended, exit code or signal %1: %2")
                                         .arg(signal)
                                         .arg(QString::fromLocal8Bit(p.readAllStandardError()))));
    }
};

QTEST_GUILESS_MAIN(TestFileSizeLimit)
#include "tst_filesizelimit.moc"
