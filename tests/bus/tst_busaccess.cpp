// The bus access layer and discovery against the simulated bench, with scripted boxes.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "bus/Discovery.h"
#include "bus/GpibDriver.h"
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using platform::Answer;

namespace {
QByteArray Instrument(int address, const QByteArray& replies = "{}", const QByteArray& extra = {}) {
    return "{ \"address\": " + QByteArray::number(address) + ", \"replies\": " + replies + extra +
           " }";
}

QByteArray Instruments(const QList<int>& addresses) {
    QByteArrayList list;
    for (int a : addresses)
        list << Instrument(a);
    return list.join(", ");
}
} // namespace

class TestBusAccess : public QObject {
    Q_OBJECT

private slots:
    void cleanAnswer_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("clean");
        QTest::newRow("only LF") << QByteArray("\n") << QByteArray();
        QTest::newRow("CR LF") << QByteArray("12\r\n") << QByteArray("12");
        QTest::newRow("three LF") << QByteArray("12\n\n\n") << QByteArray("12");
        QTest::newRow("four LF keeps one") << QByteArray("12\n\n\n\n") << QByteArray("12\n");
        QTest::newRow("padding spaces") << QByteArray("  12\r\n   ") << QByteArray("12");
        QTest::newRow("inner spaces stay") << QByteArray("1 2\n") << QByteArray("1 2");
        QTest::newRow("NUL stays") << QByteArray("a\0b\n", 4) << QByteArray("a\0b", 3);
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void cleanAnswer() {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, clean);
        QCOMPARE(CleanAnswer(raw), clean);
    }

    void queryReturnsCleanedAnswerAndRestoresTimeout() {
        platform::ScriptedPlatform sys;
        BenchGuard bench(
            BenchJson(Instrument(5, R"({ "VAL?": "+1.5E+00\r" })", R"(, "terminator": "\r\n")")));
        QVERIFY2(bench.ok(), qPrintable(bench.error()));
        FindListeners();
        DeviceUd = FindDevice();
        QCOMPARE(GpibQuery(DeviceUd, "VAL?"), QByteArray("+1.5E+00"));
        int code = 0;
        gpib::Bus().ibask(DeviceUd, gpib::IbaTMO, &code);
        QCOMPARE(code, 12); // the descriptor's own 3 s timeout is back after the 10 s read
        QVERIFY(sys.boxes.isEmpty());
    }

    void longAnswerIsReadInChunksAndKeepsNul() {
        platform::ScriptedPlatform sys;
        QByteArray big;
        for (int i = 0; i < 1300; ++i)
            big += char('A' + i % 26);
        big[700] = '\0';
        QTemporaryDir dir;
        const QString journal = dir.filePath("j.txt");
        // JSON carries the NUL as \u0000.
        QByteArray jsonText = big;
        jsonText.replace(QByteArray(1, '\0'), "\\u0000");
        BenchGuard bench(BenchJson(Instrument(4, "{ \"DUMP?\": \"" + jsonText + "\" }"), journal));
        QVERIFY2(bench.ok(), qPrintable(bench.error()));
        FindListeners();
        DeviceUd = FindDevice();
        const QByteArray answer = GpibQuery(DeviceUd, "DUMP?");
        QCOMPARE(answer.size(), big.size());
        QCOMPARE(answer, big);
        // 1301 bytes with the terminator: three reads of at most 512.
        QCOMPARE(JournalText(journal).count(" R "), 3);
    }

    void readTimeoutGivesEmptyTextAndBox() {
        platform::ScriptedPlatform sys;
        BenchGuard bench(BenchJson(Instrument(6, R"({ "MUTE?": null })")));
        QVERIFY(bench.ok());
        FindListeners();
        DeviceUd = FindDevice();
        sys.answerBox(Answer::Ok, "I/O Error");
        QElapsedTimer t;
        t.start();
        QCOMPARE(GpibQuery(DeviceUd, "MUTE?"), QByteArray());
        QCOMPARE(sys.boxes.size(), 1);
        QCOMPARE(sys.boxes[0].text, QString("Read cycle failed\nOperation aborted."));
        QCOMPARE(sys.boxes[0].icon, platform::Icon::Warning);
        QVERIFY(!GpibErrorFlag); // a read failure is not a driver error of the write
        QVERIFY(t.elapsed() < 2000);
    }

    void writeErrorAnsweredWithOk() {
        platform::ScriptedPlatform sys;
        QTemporaryDir dir;
        const QString journal = dir.filePath("j.txt");
        BenchGuard bench(BenchJson(Instrument(7, R"({ "BAD?": { "write_error": 6 } })"), journal));
        QVERIFY(bench.ok());
        FindListeners();
        DeviceUd = FindDevice();
        sys.answerBox(Answer::Ok, "GPIB ERROR # 6");
        QCOMPARE(GpibQuery(DeviceUd, "BAD?"), QByteArray());
        QVERIFY(GpibErrorFlag);
        QCOMPARE(sys.boxes.size(), 1);
        QCOMPARE(sys.boxes[0].text,
                 QString("I/O operation aborted - timeout.\n"
                         "Select OK to continue or Cancel to terminate program."));
        QCOMPARE(sys.boxes[0].buttons, platform::Buttons::OkCancel);
        QVERIFY(!JournalText(journal).contains(" R")); // no read after a failed write
        // The next good write clears the flag.
        GpibWrite(DeviceUd, "*CLS");
        QVERIFY(!GpibErrorFlag);
    }

    void writeErrorAnsweredWithCancelEndsProgram() {
        platform::ScriptedPlatform sys;
        BenchGuard bench(BenchJson(Instrument(7, R"({ "BAD?": { "write_error": 14 } })")));
        QVERIFY(bench.ok());
        FindListeners();
        DeviceUd = FindDevice();
        sys.answerBox(Answer::Cancel, "GPIB ERROR # 14");
        QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, GpibQuery(DeviceUd, "BAD?"));
        QVERIFY(sys.ended);
        QVERIFY(sys.boxes[0].text.startsWith("GPIB bus eror.\n"));
    }

    void errorMessages_data() {
        QTest::addColumn<int>("iberr");
        QTest::addColumn<QString>("message");
        QTest::newRow("0") << 0 << "Operating system error.";
        QTest::newRow("2") << 2 << "No listener on write function.";
        QTest::newRow("15") << 15 << "Serial poll status queue owerflow.";
        QTest::newRow("20") << 20 << "Table problem.";
        QTest::newRow("8 unknown") << 8 << "Unknown error.";
        QTest::newRow("negative") << -1 << "Unknown error.";
    }
    void errorMessages() {
        QFETCH(int, iberr);
        QFETCH(QString, message);
        QCOMPARE(QString::fromLatin1(GpibErrorMessage(iberr)), message);
    }

    void missingDescriptorEndsProgram() {
        platform::ScriptedPlatform sys;
        BenchGuard bench(BenchJson(Instrument(3)));
        sys.answerBox(Answer::Ok, "Device Error");
        QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, GpibRead(0));
        QCOMPARE(sys.boxes[0].text,
                 QString("Device not configured.\n\nCorrect problem and restart."));
        QCOMPARE(sys.boxes[0].icon, platform::Icon::Critical);
    }

    void writeToEmptyAddress() {
        platform::ScriptedPlatform sys;
        BenchGuard bench(BenchJson(Instrument(3)));
        FindListeners();
        DeviceUd = FindDevice();
        gpib::Bus().ibpad(DeviceUd, 12);
        sys.answerBox(Answer::Ok, "GPIB ERROR # 2");
        GpibWrite(DeviceUd, "OUT ON");
        QVERIFY(GpibErrorFlag);
    }

    void sendToAddressComesBack() {
        platform::ScriptedPlatform sys;
        QTemporaryDir dir;
        const QString journal = dir.filePath("j.txt");
        BenchGuard bench(BenchJson(Instrument(3, R"({ "V?": "1" })") + ", " +
                                       Instrument(9, "{}", R"(, "accepts": ["OUT *"])"),
                                   journal));
        FindListeners();
        DeviceUd = FindDevice();
        DeviceAddress = 3;
        gpib::Bus().ibpad(DeviceUd, 3);
        SendToAddress(9, "OUT ON");
        QCOMPARE(GpibQuery(DeviceUd, "V?"), QByteArray("1"));
        const QString j = JournalText(journal);
        QVERIFY2(j.contains("9 W OUT ON\n"), qPrintable(j));
        QVERIFY2(j.contains("3 W V?\n"), qPrintable(j));
    }

    void findListeners_data() {
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("22, 3, 9") << QList<int>{22, 3, 9} << QList<int>{3, 9, 22};
        QList<int> fourteen;
        for (int a = 1; a <= 14; ++a)
            fourteen << a * 2;
        QTest::newRow("14 instruments") << fourteen << fourteen;
        QTest::newRow("one at 30") << QList<int>{30} << QList<int>{30};
    }
    void findListeners() {
        QFETCH(QList<int>, present);
        QFETCH(QList<int>, expected);
        platform::ScriptedPlatform sys;
        BenchGuard bench(BenchJson(Instruments(present)));
        QVERIFY2(bench.ok(), qPrintable(bench.error()));
        FindListeners();
        QCOMPARE(int(ListenerList[0]), int(expected.size()));
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(int(ListenerList[i + 1]), expected[i]);
        for (int i = int(expected.size()) + 1; i < 15; ++i)
            QCOMPARE(int(ListenerList[i]), 0);
        for (int a : expected)
            QVERIFY(IsListener(std::int16_t(a)));
        QVERIFY(!IsListener(0));
        QVERIFY(!IsListener(31));
    }

    void findListenersFails_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << "Initialization Error 14"
                              << "No listeners found.\n\nCorrect problem and restart.";
        QTest::newRow("15") << 15 << "Initialization Error 20"
                            << "Too many listeners found.\nMax 14 listeners allowed.\n\n"
                               "Correct problem and restart.";
    }
    void findListenersFails() {
        QFETCH(int, count);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QList<int> addresses;
        for (int a = 1; a <= count; ++a)
            addresses << a;
        platform::ScriptedPlatform sys;
        BenchGuard bench(BenchJson(Instruments(addresses)));
        QVERIFY2(bench.ok(), qPrintable(bench.error()));
        sys.answerBox(Answer::Ok, title);
        QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, FindListeners());
        QCOMPARE(sys.boxes.size(), 1);
        QCOMPARE(sys.boxes[0].text, text);
        QCOMPARE(sys.boxes[0].icon, platform::Icon::Critical);
        QCOMPARE(int(ListenerList[0]), 0);
        QVERIFY(!IsListener(1));
    }

    void findDevicePollsEveryListenerOnce() {
        platform::ScriptedPlatform sys;
        QTemporaryDir dir;
        const QString journal = dir.filePath("j.txt");
        BenchGuard bench(BenchJson(Instruments({9, 4}), journal));
        FindListeners();
        const std::int16_t ud = FindDevice();
        QVERIFY(ud != 0);
        QCOMPARE(FindDevice(), ud); // opened once, then used again
        const QString j = JournalText(journal);
        QVERIFY2(j.startsWith("0 I\n"), qPrintable(j));
        QCOMPARE(j.count("4 P"), 2);
        QCOMPARE(j.count("9 P"), 2);
        int code = 0;
        gpib::Bus().ibask(ud, gpib::IbaTMO, &code);
        QCOMPARE(code, int(IoTimeout));
    }

    void waitSecondsHandlesEventsWithoutSpinning() {
        bool handled = false;
        QTimer::singleShot(50, this, [&] { handled = true; });
        timespec cpu0{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
        QElapsedTimer t;
        t.start();
        WaitSeconds(0.4f);
        const qint64 wall = t.elapsed();
        timespec cpu1{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
        const double cpu = double(cpu1.tv_sec - cpu0.tv_sec) + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e9;
        QVERIFY(handled);
        QVERIFY2(wall >= 400 && wall < 1500, qPrintable(QString::number(wall)));
        QVERIFY2(cpu < 0.2, qPrintable(QString::number(cpu)));
    }

    void waitSecondsOfZeroOrLessReturnsAtOnce() {
        QElapsedTimer t;
        t.start();
        WaitSeconds(0);
        WaitSeconds(-3);
        QVERIFY(t.elapsed() < 50);
    }
};

QTEST_MAIN(TestBusAccess)
#include "tst_busaccess.moc"
