// The desktop platform's settings store and file-dialog helpers, and the scripted double that
// every other test relies on.
#include "platform/QtPlatform.h"
#include "platform/ScriptedPlatform.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit()); }

    void settingValueRoundTrips_data() {
        QTest::addColumn<QString>("value");
        for (const char* v : {"", "1,5", "a;b=c # d", "  padded  ", "c:\\data\\", "say \"ID?\"",
                              "@Variant(abc)", "5 \xc2\xb5V", "0012.50"})
            QTest::newRow(v) << QString::fromUtf8(v);
    }
    void settingValueRoundTrips() {
        QFETCH(QString, value);
        QtPlatform().writeSetting("Values", "Settings", "Query", value);
        // A separate object must see it: nothing of the value lives in the writer.
        QCOMPARE(QtPlatform().readSetting("Values", "Settings", "Query", "-"), value);
    }

    void settingsStore() {
        QtPlatform p;
        p.writeSetting("Busmate", "Settings", "Address", "22");
        p.writeSetting("Sequor", "Settings1", "Address", "12");
        p.writeSetting("Sequor", "Settings", "Address", "7"); // last, so mixed-up entries show
        QFile ini(config_.filePath("Sequor/Sequor.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Settings]\nAddress=7\n\n[Settings1]\nAddress=12\n"));
        const auto read = [&](const char* app, const char* section, const char* key) {
            return p.readSetting(app, section, key, "-");
        };
        QCOMPARE(QStringList({read("Busmate", "Settings", "Address"),
                              read("Sequor", "Settings1", "Address"),
                              read("Sequor", "Settings2", "Address"),
                              read("Sequor", "Settings", "Missing")}),
                 QStringList({"22", "12", "-", "-"}));
        QTemporaryDir other; // a changed folder is followed at once
        qputenv("XDG_CONFIG_HOME", other.path().toLocal8Bit());
        QCOMPARE(read("Sequor", "Settings", "Address"), QString("-"));
    }

    void fileFilter() {
        QCOMPARE(QtFileFilter("Data (*.dat)|*.dat|Text|*.txt;*.log"),
                 QString("Data (*.dat);;Text (*.txt *.log)"));
        QCOMPARE(QtFileFilter("Data (old)|*.dat"), QString("Data (old) (*.dat)"));
        QCOMPARE(QtFileFilter(""), QString());
    }

    void defaultExtension() {
        QCOMPARE(WithDefaultExtension("/tmp/run", ".csv"), QString("/tmp/run.csv"));
        QCOMPARE(WithDefaultExtension("/tmp/run.txt", "csv"), QString("/tmp/run.txt"));
        QCOMPARE(WithDefaultExtension("/tmp/run.", "csv"), QString("/tmp/run.csv"));
        QCOMPARE(WithDefaultExtension("/a.b/run", "csv"), QString("/a.b/run.csv"));
        QCOMPARE(WithDefaultExtension("/tmp/.run", "csv"), QString("/tmp/.run.csv"));
        QCOMPARE(WithDefaultExtension("/tmp/run", ""), QString("/tmp/run"));
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

private:
    QTemporaryDir config_; // every store the tests write lives here
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
