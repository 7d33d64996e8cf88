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
        failures << p.writeSetting("Sequor", "Settings1", "Address", "12");
        failures << p.writeSetting("Sequor", "Settings", "Address", "7"); // the sections' order
        QFile ini(config.filePath("Sequor/Sequor.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Settings]\nAddress=7\n\n[Settings1]\nAddress=12\n"));
        // A file cut short, holding an empty value and bytes that are no UTF-8, gives what it
        // can; an empty value is no missing one.
        ini.close();
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\nDevice=\xff\xfe\nLogFileName=ru\xe9n.csv\nInterval=\nID=2");
        ini.close();
        const auto get = [](const char* key) {
            return QtPlatform().readSetting("Sequor", "Settings", key, "-");
        };
        QCOMPARE(QStringList(
                     {get("Device"), get("LogFileName"), get("Interval"), get("ID"), get("Query")}),
                 QStringList({"\ufffd\ufffd", "ru\ufffdn.csv", "", "2", "-"}));
        // Values come back as written, read by a separate object: nothing of them lives in the
        // writer. A missing key gives the default.
        const QStringList values =
            QString("|1,5|a;b=c # d| pad |c:\\d\\|\"ID?\"|@Variant(x)|5 µV|012.5").split('|');
        QStringList read;
        for (int i = 0; i < values.size(); ++i) {
            failures << p.writeSetting("Values", "Settings", QString::number(i), values[i]);
            read << QtPlatform().readSetting("Values", "Settings", QString::number(i), "-");
        }
        QCOMPARE(read, values);
        QCOMPARE(failures.join(""), QString());
        QCOMPARE(p.readSetting("Sequor", "Settings2", "Address", "-"), "-");
        // A store that cannot be written (here a file stands where its folder belongs) says
        // so, naming its file.
        QFile blocker(config.filePath("Blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString failure = p.writeSetting("Blocked", "Settings", "Address", "7");
        QVERIFY2(failure.contains(config.filePath("Blocked/Blocked.ini")), qPrintable(failure));
    }

    void fileDialogHelpers() {
        QCOMPARE(QtFileFilter("D (*.d)|*.d|Text|*.t;*.log"), "D (*.d);;Text (*.t *.log)");
        QCOMPARE(WithDefaultExtension("/tmp/run.", "csv") + WithDefaultExtension("/r.txt", "csv"),
                 "/tmp/run.csv/r.txt");
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
