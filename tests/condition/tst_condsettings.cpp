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

// Reads the word as the dialog does, writes it back from those controls.
QString RoundTrip(const QString& word) {
    return WriteStatusWord(ControlsFromFields(FieldsByChar(word)));
}
} // namespace

class TestCondSettings : public QObject {
    Q_OBJECT
private slots:
    void conversions() {
        QCOMPARE(DecToBin(10, 8), "00001010");
        QCOMPARE(DecToBin(300, 2), "100101100");
        QCOMPARE(BinToHex("100000000", 2), "100");
        QCOMPARE(HexToBin("aGF", 4), "101000001111"); // lower case, non-hex is 0000
        QCOMPARE(BinToDec("21"), 5u);                 // each digit weighs as shown
        QCOMPARE(BinToDec("1" + QString(32, '0') + "1"), 1u);
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
        row("address 5, greater, by amount, both", "50503001923", "=101|5|3|25,0|2|0|3|5|2",
            "50503001923");
        row("lower case", "3000a0a0ac1", "=" + def, "3000A0A0AC1");
        row("non-hex digits read 0", "3Z00A0A0AC1", def, "3000A0A0AC1");
        row("several mode bits: the lowest wins", "3000A0A0A61", "011|0|10|10,10|6|0|1|3|6",
            "3000A0A0A21");
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
        if (inRange) QCOMPARE(Text(FieldsByBit(word)), fields);
        QCOMPARE(RoundTrip(word), written);
        // The run's reading pads a short word on the left, so its fields differ.
        QCOMPARE(Text(FieldsByBit("A1")), "000|0|0|0,0|2|1|1|0|10");
    }

    // Every field over its range: both readings agree and the dialog writes the word back.
    void wordsInRangeComeBack() {
        int checked = 0;
        for (int field = 0; field < 7; ++field) {
            const std::array<int, 7> top = {7, 30, 30, 30, 30, 5, 3};
            for (int v = field == 2 ? 1 : 0; v <= top[field]; ++v) {
                std::array<int, 7> f = {3, 5, 10, 10, 10, 0xC, 1};
                f[field] = field == 5 ? std::array{1, 2, 4, 9, 10, 12}[v] : v;
                QString word = QString::number(f[0]);
                for (int i = 1; i < 5; ++i)
                    word += QStringLiteral("%1").arg(f[i], 2, 16, QLatin1Char('0')).toUpper();
                word += QString::number(f[5], 16).toUpper() + QString::number(f[6]);
                QVERIFY2(InRange(word) && FieldsByBit(word) == FieldsByChar(word),
                         qPrintable(word));
                QCOMPARE(RoundTrip(word), word);
                ++checked;
            }
        }
        QCOMPARE(checked, 8 + 31 + 30 + 31 + 31 + 6 + 4);
    }

    void onAndOff_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("afterSwitchOff");
        QTest::newRow("default is off") << "3000A0A0AC1" << false << "3000A0A0AC1";
        QTest::newRow("7: address digits stay") << "7050A0A0AC1" << true << "3050A0A0AC1";
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

    // The report of the settings: condition 1's and 2's modes, count, address, command, flags.
    void settingsReport_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("text");
        // mode 1, mode 2, count, address, command, flags ("s" send at end, "e" end)
        auto row = [](const char* name, const char* word, const char* command, QStringList f) {
            const auto yes = [&](char c) { return f[5].contains(c) ? "YES" : "NO"; };
            QTest::newRow(name) << word << command
                                << "Condition 1: " + f[0] + "\n\nCondition 2: " + f[1] +
                                       "\n\nNumber of consecutive times condition should be met "
                                       "before sending: " +
                                       f[2] + "\n\nSecond GPIB Address: " + f[3] +
                                       "\nSecond GPIB Command: " + f[4] +
                                       "\n\nSend command at end of Measurement Sequence if "
                                       "condition is not met: " +
                                       yes('s') +
                                       "          End Measurement Sequence if condition is met: " +
                                       yes('e') + "\n";
        };
        row("defaults, on", "7000A0A0AC1", "",
            {"Enabled\nMode: Equal to 10 within 10 %", "Disabled\nMode: Less than Max minus 10 %",
             "10", "None", " Not defined", "se"});
        row("percentages 0, by amount, address, less than", "40503000012", "OUT OFF",
            {"Disabled\nMode: Less than 10", "Enabled\nMode: Less than Max minus 10", "3", "5",
             "OUT OFF", ""});
        row("greater, and maximum minus 0 %", "7000A001EA3", "",
            {"Enabled\nMode: Greater than 10 plus 30 %", "Enabled\nMode: Less than Max", "10",
             "None", " Not defined", "se"});
    }
    void settingsReport() {
        QFETCH(QString, word);
        QFETCH(QString, command);
        QTEST(CondSettingsText(word, {"10", "10"}, command), "text");
    }
};

QTEST_APPLESS_MAIN(TestCondSettings)
#include "tst_condsettings.moc"
