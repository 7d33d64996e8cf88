#include "common/CommandLine.h"

#include <QProcess>
#include <QTest>

using cli::Action;
Q_DECLARE_METATYPE(cli::Action)

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    // Each row: the arguments after the program, the action, then bus|set|quiet or the error.
    void parse_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("result");
        QTest::newRow("? beats all") << QStringList{"--bogus", "/?"} << Action::About << "||0";
        QTest::newRow("bus=") << QStringList{"--bus=prologix:h:9"} << Action::Window
                              << "prologix:h:9||0";
        QTest::newRow("run quiet")
            << QStringList{"-q", "--run", "2", "--bus", "sim"} << Action::Run << "sim|2|1";
        QTest::newRow("help wins")
            << QStringList{"--run", "1", "--version", "-h"} << Action::Help << "|1|0";
        QTest::newRow("Qt's options pass")
            << QStringList{"-platform", "offscreen", "-reverse"} << Action::Window << "||0";
        QTest::newRow("missing value")
            << QStringList{"--run"} << Action::Usage << "option '--run' requires an argument";
        QTest::newRow("empty value")
            << QStringList{"--bus="} << Action::Usage << "option '--bus' needs a value";
    }
    void parse() {
        QFETCH(QStringList, args);
        QFETCH(Action, action);
        QFETCH(QString, result);
        const cli::CommandLine c = cli::ParseCommandLine(QStringList{"sequor"} + args);
        QCOMPARE(c.action, action);
        QCOMPARE(action == Action::Usage ? c.error
                                         : c.bus + '|' + c.runSet + '|' + QString::number(c.quiet),
                 result);
    }

    // The real program, without a display: its status, then what it prints where.
    void program() {
        const auto run = [](const QString& option) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove("QT_QPA_PLATFORM");
            env.remove("DISPLAY"); // none of these may need one
            p.setProcessEnvironment(env);
            p.start(qEnvironmentVariable("SEQUOR_BIN"), {option});
            const bool ended = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit;
            return QString::number(ended ? p.exitCode() : -1) + '|' +
                   QString::fromLocal8Bit(p.readAllStandardOutput()) + '|' +
                   QString::fromLocal8Bit(p.readAllStandardError());
        };
        const QString version = run("--version");
        QVERIFY2(version.startsWith("0|Sequor, v2.10 - ") && version.endsWith("\n|"),
                 qPrintable(version));
        QCOMPARE(run("--colour"), "2||sequor: unrecognized option '--colour'\n"
                                  "Try 'sequor --help' for more information.\n");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
