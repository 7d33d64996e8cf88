// The status word: conversions, decoding both ways, writing, and the on/off rules. The dialog's
// test takes every field over its range through both readings and back.
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

// Reads the word as the dialog does, writes it back from those controls.
QString RoundTrip(const QString& word) {
    return WriteStatusWord(ControlsFromFields(FieldsByChar(word)));
}
} // namespace

class TestCondSettings : public QObject {
    Q_OBJECT
private slots:
    void conversions_data() {
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("expected");
        QTest::newRow("DecToBin 10, 8") << DecToBin(10, 8) << "00001010";
        QTest::newRow("DecToBin longer than width") << DecToBin(300, 2) << "100101100";
        QTest::newRow("DecToBin 0, width 0") << DecToBin(0, 0) << "0";
        QTest::newRow("DecToBin 32 bits") << DecToBin(0xFFFFFFFFu, 1) << QString(32, '1');
        QTest::newRow("BinToHex 00001010, 2") << BinToHex("00001010", 2) << "0A";
        QTest::newRow("BinToHex longer than width") << BinToHex("100000000", 2) << "100";
        QTest::newRow("BinToHex empty") << BinToHex("", 1) << "0";
        QTest::newRow("HexToBin lower case") << HexToBin("a", 4) << "1010";
        QTest::newRow("HexToBin non-hex is 0000") << HexToBin("GzF", 4) << "000000001111";
        QTest::newRow("HexToBin default, 44") << HexToBin(DefaultConditionStatusWord, 44)
                                              << "00110000000000001010000010100000101011000001";
        QTest::newRow("BinToDec digits weigh as shown") << QString::number(BinToDec("21")) << "5";
        QTest::newRow("BinToDec 33 bits wraps")
            << QString::number(BinToDec("1" + QString(32, '0') + "1")) << "1";
    }
    void conversions() {
        QFETCH(QString, result);
        QFETCH(QString, expected);
        QCOMPARE(result, expected);
    }

    // The dialog's reading of words in range ("=" in front) and out of it; each comes back from
    // the controls as the dialog would write it.
    void reading_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("written");
        const QString def = "011|0|10|10,10|4|1|1|3|12";
        auto row = [](const char* name, const char* word, QString fields, const char* written) {
            QTest::newRow(name) << word << fields << written;
        };
        row("default", "3000A0A0AC1", "=" + def, "3000A0A0AC1");
        row("address 5, greater, by amount, both", "50503001923", "=101|5|3|25,0|2|0|3|5|2",
            "50503001923");
        row("largest", "71E1E1E1E93", "=111|30|30|30,30|1|1|3|7|9", "71E1E1E1E93");
        row("lower case", "3000a0a0ac1", "=" + def, "3000A0A0AC1");
        row("non-hex digits read 0", "3Z00A0A0AC1", def, "3000A0A0AC1");
        row("several mode bits: the lowest wins", "3000A0A0A61", "011|0|10|10,10|6|0|1|3|6",
            "3000A0A0A21");
        row("no mode bit: no option", "3000A0A0A81", "011|0|10|10,10|0|1|1|3|8", "3000A0A0A81");
        row("short word: missing characters read 0", "7", "111|0|0|0,0|0|0|0|7|0", "70000000000");
        row("large numbers", "8FF00FF1F00", "000|255|0|31,255|0|0|0|8|0", "0FF00FF1F00");
        row("longer word: the first 11 characters", "3000A0A0AC1FF", def, "3000A0A0AC1");
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
        QCOMPARE(RoundTrip(word), written);
    }

    // The run's reading pads a short word on the left, so its fields differ from the dialog's.
    void shortWordByBit() { QCOMPARE(Text(FieldsByBit("A1")), "000|0|0|0,0|2|1|1|0|10"); }

    void onAndOff_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("afterSwitchOff");
        QTest::newRow("default is off") << "3000A0A0AC1" << false << "3000A0A0AC1";
        QTest::newRow("7: address digits stay") << "7050A0A0AC1" << true << "3050A0A0AC1";
        QTest::newRow("4") << "4000A0A0AC1" << true << "0000A0A0AC1";
        QTest::newRow("5 becomes 1") << "5" << true << "1";
        QTest::newRow("lower case f: switched off for good") << "f0" << true << "30";
        QTest::newRow("not hex") << "X000A0A0AC1" << false << "X000A0A0AC1";
        QTest::newRow("empty") << "" << false << "";
    }
    void onAndOff() {
        QFETCH(QString, word);
        QFETCH(bool, on);
        QFETCH(QString, afterSwitchOff);
        QCOMPARE(IsCondOn(word), on);
        settings::Settings settings;
        settings.load(settings::Field::ConditionStatusWord, word);
        settings.SwitchCondOff();
        QCOMPARE(settings.condCommand().ConditionStatusWord, afterSwitchOff);
        QCOMPARE(settings.changed(), on);
        QVERIFY(!settings.condOn());
    }

    // What OK stores: fields left as loaded keep their characters; edited ones are written.
    // stored|at load|built|merged
    void merging_data() {
        QTest::addColumn<QString>("words");
        QTest::newRow("nothing edited keeps every field but the address")
            << "8FF00FF1F61|0001F1F1F21|0001F1F1F21|80000FF1F61";
        QTest::newRow("edited count and mode are written")
            << "8FF00FF1F61|0001F1F1F21|00005001F41|80005001F41";
        QTest::newRow("edited flags are written")
            << "8FF00FF1F61|0001F1F1F21|3001F1F1F21|30000FF1F61";
        QTest::newRow("a short word is written whole") << "7|70000000000|70000000040|70000000040";
    }
    void merging() {
        QFETCH(QString, words);
        const QStringList w = words.split('|');
        QCOMPARE(MergeStatusWord(w[0], w[1], w[2]), w[3]);
    }
};

QTEST_APPLESS_MAIN(TestCondSettings)
#include "tst_condsettings.moc"
