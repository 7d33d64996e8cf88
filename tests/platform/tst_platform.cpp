// The desktop platform's settings store and file-dialog helpers, and the scripted double that
// every other test relies on.
#include "platform/ScriptedPlatform.h"
#include "platform/ui/QtPlatform.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void settingsStore() {
        QTemporaryDir config; // every store the test writes lives here
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QtPlatform p;
        QStringList failures;
        auto write = [&](auto a, auto s, auto k, auto v) {
            failures << p.writeSetting(a, s, k, v);
        };
        write("Busmate", "Settings", "Address", "22");
        write("Sequor", "Settings1", "Address", "12");
        write("Sequor", "Settings", "Address", "7"); // last, so mixed-up entries show
        QFile ini(config.filePath("Sequor/Sequor.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Settings]\nAddress=7\n\n[Settings1]\nAddress=12\n"));
        auto get = [](auto a, auto s, auto k) { return QtPlatform().readSetting(a, s, k, "-"); };
        QCOMPARE(get("Busmate", "Settings", "Address") + get("Sequor", "Settings1", "Address") +
                     get("Sequor", "Settings2", "Address") + get("Sequor", "Settings", "Missing"),
                 "2212--");
        // Values come back as written, read by a separate object: nothing of them lives in the
        // writer.
        const QStringList values =
            QString("|1,5|a;b=c # d| pad |c:\\d\\|\"ID?\"|@Variant(x)|5 µV|012.5").split('|');
        QStringList read;
        for (int i = 0; i < values.size(); ++i) {
            write("Values", "Settings", QString::number(i), values[i]);
            read << get("Values", "Settings", QString::number(i));
        }
        QCOMPARE(read, values);
        QCOMPARE(failures.join(""), QString());
        // A store that cannot be written (here a file stands where its folder belongs) says
        // so, naming its file.
        QFile blocker(config.filePath("Blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString failure = p.writeSetting("Blocked", "Settings", "Address", "7");
        QVERIFY2(failure.contains(config.filePath("Blocked/Blocked.ini")), qPrintable(failure));
    }

    void fileDialogHelpers() {
        QCOMPARE(QtFileFilter("D (*.d)|*.d|Text|*.t;*.log"), "D (*.d);;Text (*.t *.log)");
        QCOMPARE(QtFileFilter("Data (old)|*.dat"), "Data (old) (*.dat)");
        QCOMPARE(WithDefaultExtension("/tmp/run", ".csv"), "/tmp/run.csv");
        QCOMPARE(WithDefaultExtension("/tmp/run.txt", "csv"), "/tmp/run.txt");
        QCOMPARE(WithDefaultExtension("/tmp/run.", "csv"), "/tmp/run.csv");
        QCOMPARE(WithDefaultExtension("/a.b/run", "csv"), "/a.b/run.csv");
        QCOMPARE(WithDefaultExtension("/tmp/.run", "csv"), "/tmp/.run.csv");
    }

    void scriptedDoubleFailsOnUnexpectedBox() {
        ScriptedPlatform sp;
        QEXPECT_FAIL("", "no answer was queued, so the double must fail the test", Continue);
        MsgBox("Surprise", "text", Buttons::Ok, Icon::None);
        sp.answerBox(Answer::Ok, "Expected");
        QEXPECT_FAIL("", "the box's title differs from the queued one", Continue);
        MsgBox("Actual", "text", Buttons::Ok, Icon::None);
        QCOMPARE(sp.boxes.size(), 2);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
