// The settings record: what a recall makes of stored values, the defaults, and the set a command
// line names.
#include "settings/SettingsRecord.h"
#include <QTest>

using namespace settings;

namespace {
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
    // What a recall makes of stored values; a null text is a key the store does not hold.
    void recall() {
        QCOMPARE(RecalledValue(Field::LogFileName, QString()), "Test.csv");
        // A name that would leave the folder, or one too long, is not taken.
        for (const QString& name :
             {QString("logs\\run.csv"), QString("../../etc/run.csv"), QString(100000, 'x')})
            QCOMPARE(RecalledValue(Field::LogFileName, name), "Test.csv");
        QCOMPARE(RecalledValue(Field::IntervalTime, "Min"), "0");
        // An ID in range, out of range, and rounded half to even.
        QCOMPARE(RecalledValue(Field::ID, "2") + RecalledValue(Field::ID, "7") +
                     RecalledValue(Field::ID, "1.5"),
                 "202");
        QCOMPARE(RecalledValue(Field::ConditionStatusWord, "3A0C"), "3000A0A0AC1"); // old form
        // Exclusions are bytes: what is beyond a byte is not taken.
        QCOMPARE(RecalledValue(Field::Exclude1, QString::fromLatin1("VDC\xb5")),
                 QString::fromLatin1("VDC\xb5"));
        QCOMPARE(RecalledValue(Field::Exclude2, QString::fromUtf8("Ω")), "");
        // An empty store gives the recall defaults; Recall Default differs only in the file name.
        QCOMPARE(Differences(ReadRecord([](const QString&) { return QString(); })), QStringList());
        QCOMPARE(Differences(BuiltInDefaults()), QStringList({"LogFileName=test.csv"}));
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
