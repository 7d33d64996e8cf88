// The status word: conversions, decoding both ways, writing, and the on/off rules.
#include "condition/CondSettings.h"
#include "settings/Settings.h"
#include <QTest>

namespace {
// A word from its fields as the dialog's controls would hold them.
QString Word(int flags, int addr, int count, int pct1, int pct0, int mode, int sel) {
    return QString::number(flags) +
           QStringLiteral("%1%2%3%4")
               .arg(addr, 2, 16, QLatin1Char('0'))
               .arg(count, 2, 16, QLatin1Char('0'))
               .arg(pct1, 2, 16, QLatin1Char('0'))
               .arg(pct0, 2, 16, QLatin1Char('0'))
               .toUpper() +
           QString::number(mode, 16).toUpper() + QString::number(sel);
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
        QTest::newRow("DecToBin 0, 4") << DecToBin(0, 4) << "0000";
        QTest::newRow("DecToBin 10, 8") << DecToBin(10, 8) << "00001010";
        QTest::newRow("DecToBin longer than width") << DecToBin(300, 2) << "100101100";
        QTest::newRow("DecToBin 0, width 0") << DecToBin(0, 0) << "0";
        QTest::newRow("DecToBin 32 bits") << DecToBin(0xFFFFFFFFu, 1) << QString(32, '1');
        QTest::newRow("BinToHex 00001010, 2") << BinToHex("00001010", 2) << "0A";
        QTest::newRow("BinToHex 1111, 1") << BinToHex("1111", 1) << "F";
        QTest::newRow("BinToHex longer than width") << BinToHex("100000000", 2) << "100";
        QTest::newRow("BinToHex empty") << BinToHex("", 1) << "0";
        QTest::newRow("HexToBin C, 4") << HexToBin("C", 4) << "1100";
        QTest::newRow("HexToBin 0A, 8") << HexToBin("0A", 8) << "00001010";
        QTest::newRow("HexToBin lower case") << HexToBin("a", 4) << "1010";
        QTest::newRow("HexToBin pads") << HexToBin("1", 6) << "000001";
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

    // The worked examples: both readings give the fields, and writing them gives the word.
    void examples_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<CondFields>("fields");
        QTest::newRow("default") << "3000A0A0AC1"
                                 << CondFields{.sendAtEnd = true,
                                               .endSeq = true,
                                               .noOfCond = 10,
                                               .pct = {10, 10},
                                               .cond1Mode = EqualTo,
                                               .maxMinusPct = true,
                                               .selection = 1,
                                               .flagDigit = 3,
                                               .modeDigit = 12};
        QTest::newRow("on, address 5, greater, by amount, both")
            << "50503001923"
            << CondFields{.condOn = true,
                          .endSeq = true,
                          .gpibAddr = 5,
                          .noOfCond = 3,
                          .pct = {25, 0},
                          .cond1Mode = GreaterThan,
                          .selection = 3,
                          .flagDigit = 5,
                          .modeDigit = 2};
        QTest::newRow("largest") << "71E1E1E1E93"
                                 << CondFields{.condOn = true,
                                               .sendAtEnd = true,
                                               .endSeq = true,
                                               .gpibAddr = 30,
                                               .noOfCond = 30,
                                               .pct = {30, 30},
                                               .cond1Mode = LessThan,
                                               .maxMinusPct = true,
                                               .selection = 3,
                                               .flagDigit = 7,
                                               .modeDigit = 9};
    }
    void examples() {
        QFETCH(QString, word);
        QFETCH(CondFields, fields);
        QCOMPARE(FieldsByBit(word), fields);
        QCOMPARE(FieldsByChar(word), fields);
        QCOMPARE(FieldsByChar(word.toLower()), fields);
        QVERIFY(InRange(word));
        QCOMPARE(RoundTrip(word), word);
    }

    // Every field over its whole range, with every combination of the one-digit fields; and
    // the full product of the number fields. Both readings agree and writing gives the word.
    void everyWordInRangeRoundTrips() {
        const auto check = [](const QString& word) {
            const CondFields f = FieldsByChar(word);
            if (!InRange(word) || !(FieldsByBit(word) == f) || RoundTrip(word) != word)
                QFAIL(qPrintable(word));
        };
        int words = 0;
        for (int flags = 0; flags <= 7; ++flags)
            for (int mode : {1, 2, 4, 9, 10, 12})
                for (int sel = 0; sel <= 3; ++sel)
                    for (int v = 0; v <= 30; ++v, words += 4) {
                        check(Word(flags, v, 1 + (v + 7) % 30, 30 - v, (v * 7) % 31, mode, sel));
                        check(Word(flags, 30 - v, std::max(v, 1), v, 30 - v, mode, sel));
                        check(Word(flags, (v * 3) % 31, 30 - v % 30, (v * 11) % 31, v, mode, sel));
                        check(Word(flags, 0, 1 + v % 30, v, v, mode, sel));
                    }
        for (int addr = 0; addr <= 30; ++addr)
            for (int count = 1; count <= 30; ++count)
                for (int pct1 = 0; pct1 <= 30; ++pct1)
                    for (int pct0 = 0; pct0 <= 30; ++pct0, ++words)
                        check(Word(7 - addr % 8, addr, count, pct1, pct0, 12 - 3 * (pct0 % 2),
                                   (count + pct1) % 4));
        QCOMPARE(words, 192 * 31 * 4 + 31 * 30 * 31 * 31);
    }

    // Readers accept what the writer never produces, without failing.
    void outOfRangeReading_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("inRange");
        QTest::addColumn<CondFields>("byChar");
        QTest::addColumn<QString>("written"); // from the controls the dialog would show
        QTest::newRow("non-hex digits read 0") << "3Z00A0A0AC1" << false
                                               << CondFields{.sendAtEnd = true,
                                                             .endSeq = true,
                                                             .noOfCond = 10,
                                                             .pct = {10, 10},
                                                             .cond1Mode = 4,
                                                             .maxMinusPct = true,
                                                             .selection = 1,
                                                             .flagDigit = 3,
                                                             .modeDigit = 12}
                                               << "3000A0A0AC1";
        QTest::newRow("several mode bits: the lowest wins") << "3000A0A0A61" << false
                                                            << CondFields{.sendAtEnd = true,
                                                                          .endSeq = true,
                                                                          .noOfCond = 10,
                                                                          .pct = {10, 10},
                                                                          .cond1Mode = 6,
                                                                          .selection = 1,
                                                                          .flagDigit = 3,
                                                                          .modeDigit = 6}
                                                            << "3000A0A0A21";
        QTest::newRow("no mode bit: no option") << "3000A0A0A81" << false
                                                << CondFields{.sendAtEnd = true,
                                                              .endSeq = true,
                                                              .noOfCond = 10,
                                                              .pct = {10, 10},
                                                              .maxMinusPct = true,
                                                              .selection = 1,
                                                              .flagDigit = 3,
                                                              .modeDigit = 8}
                                                << "3000A0A0A81";
        QTest::newRow("short word: missing characters read 0")
            << "7" << false
            << CondFields{.condOn = true, .sendAtEnd = true, .endSeq = true, .flagDigit = 7}
            << "70000000000";
        QTest::newRow("empty") << "" << false << CondFields{} << "00000000000";
        QTest::newRow("large numbers")
            << "8FF00FF1F00" << false
            << CondFields{.gpibAddr = 255, .pct = {31, 255}, .flagDigit = 8} << "0FF00FF1F00";
        QTest::newRow("longer word: the first 11 characters") << "3000A0A0AC1FF" << false
                                                              << CondFields{.sendAtEnd = true,
                                                                            .endSeq = true,
                                                                            .noOfCond = 10,
                                                                            .pct = {10, 10},
                                                                            .cond1Mode = 4,
                                                                            .maxMinusPct = true,
                                                                            .selection = 1,
                                                                            .flagDigit = 3,
                                                                            .modeDigit = 12}
                                                              << "3000A0A0AC1";
    }
    void outOfRangeReading() {
        QFETCH(QString, word);
        QFETCH(bool, inRange);
        QFETCH(CondFields, byChar);
        QFETCH(QString, written);
        QCOMPARE(InRange(word), inRange);
        QCOMPARE(FieldsByChar(word), byChar);
        QCOMPARE(RoundTrip(word), written);
    }

    // The run's reading pads a short word on the left, so its fields differ from the dialog's.
    void shortWordByBit() {
        const CondFields f = FieldsByBit("A1");
        QCOMPARE(f.selection, 1);
        QCOMPARE(f.modeDigit, 10);
        QCOMPARE(f.cond1Mode, GreaterThan);
        QCOMPARE(f.flagDigit, 0);
    }

    void writing_data() {
        QTest::addColumn<CondControls>("controls");
        QTest::addColumn<QString>("word");
        QTest::newRow("by amount leaves the top mode bit clear")
            << CondControls{.noOfCond = 1, .option = {false, true, false, false, true}}
            << "00001000020";
        QTest::newRow("no option chosen") << CondControls{.noOfCond = 30} << "0001E000000";
        QTest::newRow("flags are 4, 2, 1")
            << CondControls{.condOn = true,
                            .endSeq = true,
                            .gpibAddr = 9,
                            .noOfCond = 2,
                            .pct = {1, 2},
                            .option = {true, false, false, true, false},
                            .select = {false, true}}
            << "50902020192";
    }
    void writing() {
        QFETCH(CondControls, controls);
        QFETCH(QString, word);
        QCOMPARE(WriteStatusWord(controls), word);
    }

    void onAndOff_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("afterSwitchOff");
        QTest::newRow("default is off") << "3000A0A0AC1" << false << "3000A0A0AC1";
        QTest::newRow("7: address digits stay") << "7050A0A0AC1" << true << "3050A0A0AC1";
        QTest::newRow("4") << "4000A0A0AC1" << true << "0000A0A0AC1";
        QTest::newRow("5 becomes 1") << "5" << true << "1";
        QTest::newRow("lower case f: switched off for good") << "f0" << true << "30";
        QTest::newRow("8 is on, and goes off") << "8000A0A0AC1" << true << "0000A0A0AC1";
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
    void merging_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("atLoad");
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("merged");
        QTest::newRow("nothing edited keeps every field but the address") << "8FF00FF1F61"
                                                                          << "0001F1F1F21"
                                                                          << "0001F1F1F21"
                                                                          << "80000FF1F61";
        QTest::newRow("edited count and mode are written") << "8FF00FF1F61"
                                                           << "0001F1F1F21"
                                                           << "00005001F41"
                                                           << "80005001F41";
        QTest::newRow("edited flags are written") << "8FF00FF1F61"
                                                  << "0001F1F1F21"
                                                  << "3001F1F1F21"
                                                  << "30000FF1F61";
        QTest::newRow("a short word is written whole") << "7"
                                                       << "70000000000"
                                                       << "70000000040"
                                                       << "70000000040";
        QTest::newRow("a word in range comes back") << "5050A0A0AC1"
                                                    << "5050A0A0AC1"
                                                    << "5050A0A0AC1"
                                                    << "5050A0A0AC1";
    }
    void merging() {
        QFETCH(QString, stored);
        QFETCH(QString, atLoad);
        QFETCH(QString, built);
        QFETCH(QString, merged);
        QCOMPARE(MergeStatusWord(stored, atLoad, built), merged);
    }
};

QTEST_APPLESS_MAIN(TestCondSettings)
#include "tst_condsettings.moc"
