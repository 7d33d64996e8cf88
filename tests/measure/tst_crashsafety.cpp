// A run killed without warning leaves a log that holds every row reported so far, whole.
// The run happens in helper_runprobe, a separate process built from the same library, since
// the sequor program cannot be told to start a run by itself.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/types.h>

class TestCrashSafety : public QObject {
    Q_OBJECT
private slots:
    void killedRunKeepsEveryRow_data();
    void killedRunKeepsEveryRow();
};

void TestCrashSafety::killedRunKeepsEveryRow_data() {
    QTest::addColumn<int>("rowsBeforeKill");
    QTest::newRow("after the first row") << 1;
    QTest::newRow("after four rows") << 4;
}

void TestCrashSafety::killedRunKeepsEveryRow() {
    QFETCH(int, rowsBeforeKill);

    const QString probe = QCoreApplication::applicationDirPath() + "/helper_runprobe";
    QVERIFY2(QFile::exists(probe), qPrintable(probe));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SEQUOR_BUS", "sim");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.setProgram(probe);
    p.setArguments({dir.path(), "Crash.csv"});
    p.start();
    QVERIFY2(p.waitForStarted(), qPrintable(p.errorString()));

    QString separator;
    QList<QByteArray> rows;
    while (rows.size() < rowsBeforeKill) {
        if (!p.canReadLine() && !p.waitForReadyRead(15000)) break;
        while (p.canReadLine() && rows.size() < rowsBeforeKill) {
            const QByteArray line = p.readLine().trimmed();
            if (line.startsWith("separator "))
                separator = QString::fromLatin1(line.mid(10));
            else
                rows << QByteArray::fromHex(line);
        }
    }
    const bool running = p.state() == QProcess::Running;
    if (running) ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(10000);
    QVERIFY2(running, p.readAllStandardError().constData());
    QCOMPARE(rows.size(), rowsBeforeKill);
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    QVERIFY(separator == "." || separator == ",");
    for (int i = 0; i < rows.size(); ++i)
        QVERIFY2(rows[i].contains(";" + QByteArray::number(i + 1) + ";"), rows[i].constData());

    QFile file(dir.filePath("Crash.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    QByteArray expected;
    if (separator == ".") expected += "sep=;\r\n";
    expected += "Time;Time From Start;Sequence;Measured\r\n";
    for (const QByteArray& row : rows)
        expected += row + "\r\n";
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

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
