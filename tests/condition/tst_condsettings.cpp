// The status word: conversions, decoding both ways, writing, the on/off rules and the report.
#include "condition/CondReport.h"
#include "condition/CondSettings.h"
#include "settings/Settings.h"
#include <QTest>

namespace {
// The fields as "on send end|address|count|pct 0,pct 1|mode|max minus pct|selection|flag
// digit|mode digit", booleans as 0 and 1.
QString Text(const CondFields& f) {
    const auto n = [](int v) { return QString::number(v); };
    return n(f.condOn) + n(f.sendAtEnd) + n(f.endSeq) + '|' + n(f.gpibAddr) + '|' + n(f.noOfCond) +
           '|' + n(f.pct[0]) + ',' + n(f.pct[1]) + '|' + n(f.cond1Mode) + '|' + n(f.maxMinusPct) +
           '|' + n(f.selection) + '|' + n(f.flagDigit) + '|' + n(f.modeDigit);
}

} // namespace

class TestCondSettings : public QObject {
    Q_OBJECT
private slots:
    void conversions() {
        QCOMPARE(DecToBin(10, 8) + ' ' + DecToBin(300, 2), "00001010 100101100");
        QCOMPARE(BinToHex("100000000", 2), "100");
        QCOMPARE(HexToBin("aGF", 4), "101000001111"); // lower case, non-hex is 0000
        QCOMPARE(BinToDec("21"), 5u);                 // each digit weighs as shown
        QCOMPARE(BinToDec("1" + QString(32, '0') + "1"), 1u);
        // The run's reading pads a short word on the left, unlike the dialog's.
        QCOMPARE(Text(FieldsByBit("A1")), "000|0|0|0,0|2|1|1|0|10");
    }

    // The dialog's reading of words in range ("=" in front) and out of it; each comes back from
    // the controls as the dialog would write it.
    void reading_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("written");
        auto row = [](const char* name, const char* word, QString fields, const char* written) {
            QTest::newRow(name) << word << fields << written;
        };
        row("address 5, greater, by amount, both", "50503001923", "=101|5|3|25,0|2|0|3|5|2",
            "50503001923");
        row("non-hex digits read 0", "3Z00A0A0AC1", "011|0|10|10,10|4|1|1|3|12", "3000A0A0AC1");
        row("several mode bits: the lowest wins", "3000A0A0A61", "011|0|10|10,10|6|0|1|3|6",
            "3000A0A0A21");
        row("short word: missing characters read 0", "7", "111|0|0|0,0|0|0|0|7|0", "70000000000");
        row("large numbers", "8FF00FF1F00", "000|255|0|31,255|0|0|0|8|0", "0FF00FF1F00");
    }
    void reading() {
        QFETCH(QString, word);
        QFETCH(QString, fields);
        QFETCH(QString, written);
        const bool inRange = fields.startsWith('=');
        if (inRange) fields.remove(0, 1);
        QCOMPARE(Text(FieldsByChar(word)), fields);
        QCOMPARE(InRange(word), inRange);
        // Eleven hex digits read the same by bit, in range or not.
        if (QRegularExpression("^[0-9A-Fa-f]{11}$").match(word).hasMatch())
            QCOMPARE(Text(FieldsByBit(word)), fields);
        // The dialog writes it back from the controls it fills.
        QCOMPARE(WriteStatusWord(ControlsFromFields(FieldsByChar(word))), written);
    }

    // On when the first digit, as a hexadecimal digit, is above 3. Switching off clears that
    // bit alone (for good, in lower case) and marks the settings changed only when it was on.
    void onAndOff() {
        QString after;
        for (const QString word : {"3000A0A0AC1", "7050A0A0AC1", "5", "f0", ""}) {
            settings::Settings settings;
            settings.load(settings::Field::ConditionStatusWord, word);
            settings.SwitchCondOff();
            QVERIFY(settings.changed() == IsCondOn(word) && !settings.condOn());
            after +=
                QString::number(IsCondOn(word)) + settings.condCommand().ConditionStatusWord + ' ';
        }
        QCOMPARE(after, "03000A0A0AC1 13050A0A0AC1 11 130 0 ");
    }

    // What OK stores: fields left as loaded keep their characters (but the address); edited
    // ones are written; a short word is written whole.
    void merging() {
        QCOMPARE(MergeStatusWord("8FF00FF1F61", "0001F1F1F21", "0001F1F1F21"), "80000FF1F61");
        QCOMPARE(MergeStatusWord("8FF00FF1F61", "0001F1F1F21", "00005001F41"), "80005001F41");
        QCOMPARE(MergeStatusWord("7", "70000000000", "70000000040"), "70000000040");
    }

    // The report of the settings, whole once; then the conditions of other words.
    void settingsReport() {
        QCOMPARE(CondSettingsText("40503000012", {"10", "10"}, "OUT OFF"),
                 "Condition 1: Disabled\nMode: Less than 10\n\nCondition 2: Enabled\nMode: Less "
                 "than Max minus 10\n\nNumber of consecutive times condition should be met before "
                 "sending: 3\n\nSecond GPIB Address: 5\nSecond GPIB Command: OUT OFF\n\nSend "
                 "command at end of Measurement Sequence if condition is not met: NO          End "
                 "Measurement Sequence if condition is met: NO\n");
        const auto conditions = [](const char* word) {
            return CondSettingsText(word, {"10", "10"}, "").section("\n\n", 0, 1);
        };
        QCOMPARE(conditions("7000A0A0AC1"),
                 "Condition 1: Enabled\nMode: Equal to 10 within 10 %\n\n"
                 "Condition 2: Disabled\nMode: Less than Max minus 10 %");
        QCOMPARE(conditions("7000A001EA3"), "Condition 1: Enabled\nMode: Greater than 10 plus 30 %"
                                            "\n\nCondition 2: Enabled\nMode: Less than Max");
    }
};

QTEST_APPLESS_MAIN(TestCondSettings)
#include "tst_condsettings.moc"
