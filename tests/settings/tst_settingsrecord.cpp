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
        row("name with drive", "LogFileName", "c:run.csv", "Test.csv");
        row("name with slash", "LogFileName", "../../etc/run.csv", "Test.csv");
        row("name too long", "LogFileName", huge, "Test.csv");
        row("interval as typed", "Interval", "1:30", "1:30");
        row("unit text", "IntervalTime", "Min", "0");
        row("id 2", "ID", "2", "2");
        row("id out of range", "ID", "7", "0");
        row("id rounds half to even", "ID", "1.5", "2");
        row("status word old form", "ConditionStatusWord", "3A0C", "3000A0A0AC1");
        row("status word 5 chars", "ConditionStatusWord", "3A0C1", "3A0C1");
        row("exclusion bytes", "Exclude1", QString::fromLatin1("VDC\xb5"),
            QString::fromLatin1("VDC\xb5"));
        row("exclusion beyond bytes", "Exclude2", QString::fromUtf8("Ω"), "");
        row("query at the limit", "Query", QString(MaxTextLength, 'Q'),
            QString(MaxTextLength, 'Q'));
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
        QCOMPARE(fresh[Field::LogFileName], "Test.csv");
        QCOMPARE(fresh[Field::SequenceNumber] + fresh[Field::PCTime] + fresh[Field::IntervalTime],
                 "100");
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

    // A store file cut short or holding bytes that are no UTF-8 gives what it can and defaults
    // for the rest.
    void damagedStoreFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("differences");
        QTest::newRow("truncated") << QByteArray("[Settings]\nInterval=45\nSequence=1")
                                   << QStringList({"Interval=45", "Sequence=1"});
        QTest::newRow("not utf-8")
            << QByteArray("[Settings]\nDevice=\xff\xfe\x80\nLogFileName=ru\xe9n.csv\nID=2\n")
            << QStringList({"ID=2", "Device=\ufffd\ufffd\ufffd", "LogFileName=ru\ufffdn.csv"});
        // A key holding the empty text is kept empty, not taken as missing.
        QTest::newRow("empty values")
            << QByteArray("[Settings]\nInterval=\nDevice=\n") << QStringList({"Interval="});
        QTest::newRow("binary") << QByteArray("\x00\x01\x02[\xff]\n=\n\x00", 11) << QStringList();
    }
    void damagedStoreFile() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, differences);
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QDir(config.path()).mkpath("Sequor");
        QFile ini(config.filePath("Sequor/Sequor.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(file) == file.size());
        ini.close();
        platform::QtPlatform p;
        const Record record = ReadRecord([&](const QString& key) {
            return p.readSetting(AppName, SectionName(0), key, QString());
        });
        QStringList got = Differences(record);
        got.sort();
        differences.sort();
        QCOMPARE(got, differences);
    }

    // The set a command line names; sets 2 and 4 are saved, as "Warm up" and "2".
    void setNamed_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("index");
        QTest::newRow("startup") << "startup" << 0;
        QTest::newRow("number") << "3" << 3;
        QTest::newRow("name") << "Warm up" << 4;
        QTest::newRow("name is exact") << "warm up" << -1;
        QTest::newRow("out of range") << "6" << -1;
        QTest::newRow("Not Saved is no name") << "Not Saved" << -1;
    }
    void setNamed() {
        QFETCH(QString, choice);
        QFETCH(int, index);
        const QStringList names = {"", NotSaved, "2", NotSaved, "Warm up", NotSaved};
        QCOMPARE(SetIndexNamed(choice, [&](int i) { return names.at(i); }), index);
    }
};

QTEST_MAIN(TestSettingsRecord)
#include "tst_settingsrecord.moc"
