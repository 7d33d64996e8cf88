// The terminal's plain rules: messages, the incoming box's lines and limits, list files,
// the help text and the stored options.
#include "platform/ScriptedPlatform.h"
#include "terminal/Busmate.h"
#include "terminal/MessageList.h"
#include <QtTest>

using namespace term;

class TestBusmate : public QObject {
    Q_OBJECT

private slots:
    // A question mark anywhere makes a query; the first "??" goes, outer blanks go.
    void prepareMessage_data() {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("query");
        QTest::newRow("*IDN?") << QByteArray("*IDN?") << QByteArray("*IDN?") << true;
        QTest::newRow("CURVE??") << QByteArray("CURVE??") << QByteArray("CURVE") << true;
        QTest::newRow("?? alone") << QByteArray("??") << QByteArray() << true;
        QTest::newRow("inside") << QByteArray("HEADER OFF;VOLT?") << QByteArray("HEADER OFF;VOLT?")
                                << true;
        QTest::newRow("A??B") << QByteArray("A??B") << QByteArray("AB") << true;
        QTest::newRow("X???") << QByteArray("X???") << QByteArray("X?") << true;
        QTest::newRow("command") << QByteArray("  OUT ON ") << QByteArray("OUT ON") << false;
        QTest::newRow("NUL kept") << QByteArray("A\0B", 3) << QByteArray("A\0B", 3) << false;
    }
    void prepareMessage() {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, sent);
        QFETCH(bool, query);
        const OutgoingMessage m = PrepareMessage(typed);
        QCOMPARE(m.msg, sent);
        QCOMPARE(m.query, query);
        QCOMPARE(WithLineEnds(m.msg, true, true), sent + "\r\n");
        QCOMPARE(WithLineEnds(m.msg, false, true), sent + "\n");
    }

    // Lines of 50 characters behind the two-digit address, and the size the check counts.
    void incomingLines_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("lineLengths"); // text characters per line
        QTest::addColumn<int>("sizeLines");
        QTest::newRow("empty") << 5 << 0 << QList<int>{} << 1;
        QTest::newRow("short") << 5 << 12 << QList<int>{12} << 1;
        QTest::newRow("25: half rounds to even 0") << 5 << 25 << QList<int>{25} << 1;
        QTest::newRow("50") << 22 << 50 << QList<int>{50} << 2;
        QTest::newRow("51") << 22 << 51 << QList<int>{50, 1} << 2;
        QTest::newRow("75: half rounds to even 2") << 3 << 75 << QList<int>{50, 25} << 3;
        QTest::newRow("120") << 3 << 120 << QList<int>{50, 50, 20} << 3;
        QTest::newRow("125: half rounds to even 2") << 3 << 125 << QList<int>{50, 50, 25} << 3;
    }
    void incomingLines() {
        QFETCH(int, address);
        QFETCH(int, length);
        QFETCH(QList<int>, lineLengths);
        QFETCH(int, sizeLines);
        QString msg;
        for (int i = 0; i < length; ++i)
            msg += QChar(char16_t('A' + i % 26));
        const QString block = IncomingLines(address, msg);
        const QString prefix = QString::asprintf("%02d: ", address);
        QStringList lines = block.split("\r\n");
        QCOMPARE(lines.takeLast(), QString()); // every line ends with CR LF
        QCOMPARE(lines.size(), lineLengths.size());
        QString joined;
        for (int i = 0; i < lines.size(); ++i) {
            QVERIFY(lines[i].startsWith(prefix));
            QCOMPARE(lines[i].size() - 4, lineLengths[i]);
            joined += lines[i].mid(4);
        }
        QCOMPARE(joined, msg);
        QCOMPARE(SizeLines(length), qint64(sizeLines));
    }

    // The capacity counts 6 characters per line beyond the text; beyond any 16-bit range the
    // answer is still judged too large.
    void fit_data() {
        QTest::addColumn<qint64>("n");
        QTest::addColumn<qint64>("current");
        QTest::addColumn<int>("fit");
        // 30,000 characters: 600 + 1 lines, 3606 + 30000 = 33606 > 32768.
        QTest::newRow("30000") << qint64(30000) << qint64(0) << int(Fit::TooLarge);
        // 29,000: 581 lines, 29000 + 3486 = 32486 fits alone.
        QTest::newRow("29000 alone") << qint64(29000) << qint64(0) << int(Fit::Fits);
        QTest::newRow("29000 exactly full") << qint64(29000) << qint64(282) << int(Fit::Fits);
        QTest::newRow("29000 one over") << qint64(29000) << qint64(283) << int(Fit::ClearFirst);
        QTest::newRow("empty into full box") << qint64(0) << qint64(32763) << int(Fit::ClearFirst);
        QTest::newRow("273,000") << qint64(273000) << qint64(0) << int(Fit::TooLarge);
        QTest::newRow("300,000") << qint64(300000) << qint64(0) << int(Fit::TooLarge);
        QTest::newRow("4 GB") << (qint64(1) << 32) << qint64(0) << int(Fit::TooLarge);
    }
    void fit() {
        QFETCH(qint64, n);
        QFETCH(qint64, current);
        QFETCH(int, fit);
        QCOMPARE(int(CheckFit(n, current)), fit);
    }

    void captionsAndShown_data() {
        QTest::addColumn<QString>("incoming");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF") << QString("05: A\r\n05: B\r\n") << QString("05: A\n05: B\n");
        QTest::newRow("NUL and after")
            << QString::fromLatin1("A\0B\x1b", 4) << QString("A\u2400B\u241b");
        QTest::newRow("lone CR, tab, DEL, high")
            << QString::fromLatin1("a\rb\tc\x7f\xe9") << QString("a\nb\tc\u2421\u00e9");
    }
    void captionsAndShown() {
        QFETCH(QString, incoming);
        QFETCH(QString, shown);
        QCOMPARE(DisplayText(incoming), shown);
        QCOMPARE(CountCaption(12), QString(" 12 "));
        QCOMPARE(CountCaption(0), QString(" 0 "));
    }

    void idAnswer() {
        QCOMPARE(IdAnswer("  TEK/2445\r\n  "), QByteArray("TEK/2445"));
        QCOMPARE(IdAnswer("A\rB\nC\r\n"), QByteArray("ABC"));
    }

    // .gmg files: CR, CR LF (and LF) end a line, entries are trimmed, empty lines stay, the
    // help entry is never written back.
    void listFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("CR LF") << QByteArray("ID?\r\n*IDN?\r\n") << QStringList{"ID?", "*IDN?"}
                               << QByteArray("ID?\r\n*IDN?\r\n");
        QTest::newRow("empty line kept") << QByteArray("A\r\n\r\nB") << QStringList{"A", "", "B"}
                                         << QByteArray("A\r\n\r\nB\r\n");
        QTest::newRow("blanks trimmed")
            << QByteArray("  VOLT 1  \r\n") << QStringList{"VOLT 1"} << QByteArray("VOLT 1\r\n");
        QTest::newRow("CR and LF alone")
            << QByteArray("A\rB\nC") << QStringList{"A", "B", "C"} << QByteArray("A\r\nB\r\nC\r\n");
        QTest::newRow("help dropped")
            << QByteArray("<Help>\r\nX\r\n") << QStringList{"<Help>", "X"} << QByteArray("X\r\n");
        QTest::newRow("empty file") << QByteArray() << QStringList{} << QByteArray();
        QTest::newRow("binary bytes")
            << QByteArray("\xff\0z\r\n", 5) << QStringList{QString::fromLatin1("\xff\0z", 3)}
            << QByteArray("\xff\0z\r\n", 5);
    }
    void listFile() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, entries);
        QFETCH(QByteArray, written);
        QCOMPARE(ParseMessageList(file), entries);
        QCOMPARE(MessageListBytes(QStringList{HelpEntry} + entries), written);
        QCOMPARE(ParseMessageList(written), entries.filter(QRegularExpression("^(?!<Help>$)")));
    }

    void sortAndSearch() {
        const QStringList list{HelpEntry, "set?", "*IDN?", "ID?", "Fac", "INIT"};
        QCOMPARE(SortedEntries(list),
                 QStringList({HelpEntry, "*IDN?", "Fac", "ID?", "INIT", "set?"}));
        QCOMPARE(FindPrefix(list, "*i"), 2);
        QCOMPARE(FindPrefix(list, "i"), 3);
        QCOMPARE(FindPrefix(list, "zz"), -1);
        QCOMPARE(FindEqual(list, "idn?"), -1);
        QCOMPARE(FindEqual(list, "*idn?"), 2);
        QCOMPARE(FindEqual(list, "SET?"), 1);
    }

    // Which entry is selected after deleting entry k; `remaining` counts the help entry.
    void deleteSelection_data() {
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<int>("selected");
        QTest::newRow("entry 3 of five") << 3 << 5 << 2;
        QTest::newRow("entry 1 of five") << 1 << 5 << 1;
        QTest::newRow("last of five") << 5 << 5 << 4;
        QTest::newRow("the only message") << 1 << 1 << 0;
    }
    void deleteSelection() {
        QFETCH(int, k);
        QFETCH(int, remaining);
        QFETCH(int, selected);
        QCOMPARE(SelectionAfterDelete(k, remaining), selected);
    }

    void helpText() {
        const QString help = HelpText("/home/u/StartUp.gmg");
        QVERIFY(help.startsWith("\r\n*** Busmate Help ***\r\n*With this program"));
        QVERIFY(help.endsWith("\r\n*** End Help ***\r\n"));
        QVERIFY(
            help.contains("\r\n list can be saved to either the /home/u/StartUp.gmg file,\r\n"));
        QVERIFY(help.contains("\r\n the Address button.\r\n\r\n*"));
        // Every line ends with CR LF: no lone LF or CR anywhere.
        QCOMPARE(help.count('\n'), help.count("\r\n"));
        QCOMPARE(help.count('\r'), help.count("\r\n"));
        QCOMPARE(help.count("\r\n"), 37);
    }

    // Missing keys give the defaults; stored text reads by its leading number.
    void readOptions_data() {
        QTest::addColumn<QStringList>("stored"); // key=value
        QTest::addColumn<QString>("values");     // 10 digits in stored order
        QTest::newRow("fresh") << QStringList{} << "1101000000";
        QTest::newRow("stored") << QStringList{"ID=0", "Add CR=1", "Send To File=1"}
                                << "0101010001";
        QTest::newRow("not numbers")
            << QStringList{"IDN=yes", "Caps Only=", "Auto Clear=0.6"} << "1000000010";
    }
    void readOptions() {
        QFETCH(QStringList, stored);
        QFETCH(QString, values);
        platform::ScriptedPlatform sys;
        for (const QString& kv : stored)
            sys.settings["Busmate/Settings/" + kv.section('=', 0, 0)] = kv.section('=', 1);
        const OptionValues read = ReadOptions();
        QString got;
        for (bool v : read)
            got += v ? '1' : '0';
        QCOMPARE(got, values);
    }

    void writeOptions() {
        platform::ScriptedPlatform sys;
        OptionValues values{}, changed{};
        values[5] = false;
        changed[5] = true;
        values[9] = true;
        changed[9] = true;
        values[0] = true; // not changed: not written
        QCOMPARE(WriteOptions(values, changed), QString());
        QCOMPARE(sys.settings, (QMap<QString, QString>{{"Busmate/Settings/Add CR", "0"},
                                                       {"Busmate/Settings/Send To File", "1"}}));
    }

    void syntaxBytes_data() {
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("error");
        QTest::newRow("registers 0x60") << 1 << 0x60 << true;
        QTest::newRow("registers 0x70") << 1 << 0x70 << true;
        QTest::newRow("registers 0x61") << 1 << 0x61 << false;
        QTest::newRow("registers 0x50") << 1 << 0x50 << false;
        QTest::newRow("poll 0x61") << -1 << 0x61 << true;
        QTest::newRow("poll 0x71") << -1 << 0x71 << true;
        QTest::newRow("poll 0x60") << -1 << 0x60 << false;
    }
    void syntaxBytes() {
        QFETCH(int, method);
        QFETCH(int, status);
        QFETCH(bool, error);
        QCOMPARE(IsSyntaxError(method, status), error);
    }

    void filesAndPaths() {
        QCOMPARE(StartupListPath("/home/u"), QString("/home/u/StartUp.gmg"));
        QCOMPARE(StartupListPath("/"), QString("/StartUp.gmg"));
        QCOMPARE(FolderOf("/data/run/a.dat"), QString("/data/run/"));
        QCOMPARE(ShortFileName(QString(30, 'n')), QString(30, 'n'));
        QCOMPARE(ShortFileName(QString(31, 'n')), QString(27, 'n') + "...");
        QCOMPARE(DataFileText("one\r\ntwo\r\nthree\r\n"), QString("one\r\ntwo\r\nthree"));
        QCOMPARE(DataFileText("a\nb\rc"), QString("a\nb\r\nc")); // a lone LF stays in its line
        QCOMPARE(SyntaxFrameCaption(5), QString(" Syntax Checking for device at address 5 "));
        QCOMPARE(ExitQuestion("/s", "/alt.gmg").section('\n', 1, 1),
                 QString("Do you want to save it to the alternate Outgoing Message List file "
                         "(/alt.gmg)?"));
        QCOMPARE(ExitQuestion("/s", "/s").section('\n', 1, 3),
                 QString("Do you want to save it to the default startup file ?\n\n"
                         "If you want to save it to an alternate file select Cancel and go to "
                         "Message Lists menu."));
    }
};

QTEST_MAIN(TestBusmate)
#include "tst_busmate.moc"
