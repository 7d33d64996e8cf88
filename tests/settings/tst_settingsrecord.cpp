// The settings record: what a recall makes of stored values, what a save writes, the captions
// of the named sets, and the real store with damaged files.
#include "platform/ui/QtPlatform.h"
#include "settings/SettingsRecord.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace settings;

namespace {
Field FieldOf(const QString& key) {
    for (const FieldDef& def : Fields())
        if (key == QLatin1String(def.key)) return def.field;
    qFatal("no field %s", qPrintable(key));
}

// A record as "key=value" for the fields whose value differs from the recall default.
QStringList Differences(const Record& record) {
    QStringList out;
    for (const FieldDef& def : Fields())
        if (record[def.field] != def.recallDefault)
            out << QLatin1String(def.key) + "=" + record[def.field];
    return out;
}
} // namespace

class TestSettingsRecord : public QObject {
    Q_OBJECT

private slots:
    // One row per stored value; "<missing>" is a key the store does not hold.
    void recall_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("recalled");
        auto row = [](const char* name, const char* k, QString s, QString r) {
            QTest::newRow(name) << k << s << r;
        };
        const QString missing; // null: no such key
        const QString huge(100000, 'x');
        row("name missing", "LogFileName", missing, "Test.csv");
        row("name with backslash", "LogFileName", "logs\\run.csv", "Test.csv");
        row("name with slash", "LogFileName", "../../etc/run.csv", "Test.csv");
        row("name too long", "LogFileName", huge, "Test.csv");
        row("unit text", "IntervalTime", "Min", "0");
        row("id 2", "ID", "2", "2");
        row("id out of range", "ID", "7", "0");
        row("id rounds half to even", "ID", "1.5", "2");
        row("status word old form", "ConditionStatusWord", "3A0C", "3000A0A0AC1");
        row("exclusion bytes", "Exclude1", QString::fromLatin1("VDC\xb5"),
            QString::fromLatin1("VDC\xb5"));
        row("exclusion beyond bytes", "Exclude2", QString::fromUtf8("Ω"), "");
    }
    void recall() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, recalled);
        QCOMPARE(RecalledValue(FieldOf(key), stored), recalled);
    }

    // An empty store gives the recall defaults; Recall Default differs only in the file name.
    void defaults() {
        const Record fresh = ReadRecord([](const QString&) { return QString(); });
        QCOMPARE(Differences(fresh), QStringList());
        QCOMPARE(Differences(BuiltInDefaults()), QStringList({"LogFileName=test.csv"}));
        // A save writes every key once, in the store's order, the set's name last.
        QStringList keys;
        WriteRecord([&](const QString& k, const QString&) { keys << k; }, fresh, "Warm-up");
        QCOMPARE(keys.join(','),
                 "LogFilePath,LogFileName,Interval,Sequence,IntervalTime,PCTime,TimeFromStart,"
                 "SequenceNumber,ManualGPIBAddress,ID,Device,Query,Exclude1,Exclude2,DecNotation,"
                 "ConditionStatusWord,ConditionTargetValue0,ConditionTargetValue1,"
                 "ConditionGPIBCommand,SetName");
    }

    // A store file cut short, holding empty values and bytes that are no UTF-8, gives what it
    // can and defaults for the rest; an empty value is kept empty, not taken as missing.
    void damagedStoreFile() {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QDir(config.path()).mkpath("Sequor");
        QFile ini(config.filePath("Sequor/Sequor.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\nDevice=\xff\xfe\x80\nLogFileName=ru\xe9n.csv\nInterval=\nID=2");
        ini.close();
        platform::QtPlatform p;
        const Record record = ReadRecord([&](const QString& key) {
            return p.readSetting(AppName, SectionName(0), key, QString());
        });
        QCOMPARE(Differences(record), QStringList({"LogFileName=ru\ufffdn.csv", "Interval=", "ID=2",
                                                   "Device=\ufffd\ufffd\ufffd"}));
    }

    // The set a command line names; sets 2 and 4 are saved, as "2" and "Warm up".
    void setNamed() {
        const QStringList names = {"", NotSaved, "2", NotSaved, "Warm up", NotSaved};
        const auto index = [&](const QString& choice) {
            return SetIndexNamed(choice, [&](int i) { return names.at(i); });
        };
        QCOMPARE(QList<int>({index("startup"), index("3"), index("Warm up"), index("warm up"),
                             index("Not Saved")}),
                 QList<int>({0, 3, 4, -1, -1}));
    }
};

QTEST_MAIN(TestSettingsRecord)
#include "tst_settingsrecord.moc"
