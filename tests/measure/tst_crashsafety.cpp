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
        qputenv("SEQUOR_BUS", "sim");
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/helper_runprobe",
                {dir.path(), "Crash.csv"});
        QVERIFY2(p.waitForStarted(), qPrintable(p.errorString()));

        // The decimal separator first, then the rows as they are logged.
        QByteArrayList lines;
        while (lines.size() < 1 + rowsBeforeKill) {
            if (p.canReadLine())
                lines << p.readLine().trimmed();
            else if (!p.waitForReadyRead(15000))
                break;
        }
        const bool running = p.state() == QProcess::Running;
        if (running) ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished(10000);
        QVERIFY2(running, p.readAllStandardError().constData());
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(lines.size(), 1 + rowsBeforeKill);

        QVERIFY(lines[0] == "." || lines[0] == ",");
        QByteArray expected = lines[0] == "." ? "sep=;\r\n" : "";
        expected += "Time;Time From Start;Sequence;Measured\r\n";
        for (int i = 1; i <= rowsBeforeKill; ++i) {
            const QByteArray row = QByteArray::fromHex(lines[i]);
            QVERIFY2(row.contains(";" + QByteArray::number(i) + ";"), row.constData());
            expected += row + "\r\n";
        }
        QFile file(dir.filePath("Crash.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray log = file.readAll();
        QCOMPARE(log.left(expected.size()), expected);
        // The kill may fall between writing a row and reporting it: then that row too must be
        // whole, and nothing may follow it.
        const QByteArray rest = log.mid(expected.size());
        if (!rest.isEmpty()) {
            QVERIFY2(rest.endsWith("\r\n") && rest.count("\r\n") == 1, rest.constData());
            QVERIFY2(rest.contains(";" + QByteArray::number(rowsBeforeKill + 1) + ";"),
                     rest.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
