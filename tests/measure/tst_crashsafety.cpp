// A run killed without warning leaves a log that holds every row reported so far, whole.
// The run happens in helper_runprobe, a separate process built from the same library, since
// the sequor program cannot be told to start a run by itself.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

class TestCrashSafety : public QObject {
    Q_OBJECT
private slots:
    void killedRunKeepsEveryRow() {
        const int rowsBeforeKill = 3;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/helper_runprobe",
                {"-platform", "offscreen", dir.path()});
        QVERIFY2(p.waitForStarted(), qPrintable(p.errorString()));
        // The rows as they are logged, one whole line each.
        QByteArrayList lines;
        while (lines.size() < rowsBeforeKill && (p.canReadLine() || p.waitForReadyRead(15000)))
            if (p.canReadLine()) lines << QByteArray::fromHex(p.readLine().trimmed());
        const bool running = p.state() == QProcess::Running;
        if (running) ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished(10000);
        QVERIFY2(running,
                 qPrintable(QString::number(p.exitCode()) + ": " + p.readAllStandardError()));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(lines.size(), rowsBeforeKill);

        QByteArray expected = "sep=;\r\nTime;Time From Start;Sequence;Measured\r\n";
        for (int i = 0; i < rowsBeforeKill; ++i) {
            QVERIFY2(lines[i].contains(";" + QByteArray::number(i + 1) + ";"), lines[i].data());
            expected += lines[i] + "\r\n";
        }
        QFile file(dir.filePath("Test.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray log = file.readAll(), rest = log.mid(expected.size());
        QCOMPARE(log.left(expected.size()), expected);
        // The kill may fall between writing a row and reporting it: then that row too must be
        // whole, and nothing may follow it.
        QVERIFY2(rest.isEmpty() ||
                     (rest.endsWith("\r\n") && rest.count("\r\n") == 1 &&
                      rest.contains(";" + QByteArray::number(rowsBeforeKill + 1) + ";")),
                 rest.constData());
    }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
