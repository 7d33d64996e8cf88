// The Prologix/AR488 back-end against a fake adapter over the simulated bench, on a
// pseudo-terminal (plain Prologix) and on a loopback TCP port (AR488).
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "bus/BusChoice.h"
#include "bus/Discovery.h"
#include "bus/Prologix.h"
#include "bus/ThreadedDriver.h"
#include "measure/Processing.h"
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace gpib;
using platform::Answer;

namespace {

const QByteArray Instruments = R"({"address": 3, "replies": {
        "*IDN?": "SIMLAB,M401A,0,1.0", "ODD?": "A\r\nB\u001b+C\u0000D",
        "DUMP?": "LONG", "MUTE?": null}, "accepts": ["OUT *"]},
    {"address": 7, "status": "serial-poll", "terminator": "\r\n", "replies": {"ID?": "OLD"}},
    {"address": 22, "replies": {"*IDN?": "X"}})";

// The bench behind the adapter kind of the row: "prologix" (terminal) or "ar488" (TCP).
struct Adapter {
    explicit Adapter(const QByteArray& kind, const QByteArray& instruments = Instruments,
                     const QString& journal = {}) {
        qputenv("SEQUOR_TEST_BACKEND", kind);
        bench = std::make_unique<BenchGuard>(BenchJson(instruments, journal));
        qunsetenv("SEQUOR_TEST_BACKEND");
    }
    std::unique_ptr<BenchGuard> bench;
    Driver& bus() { return *bench->bus(); }
};

void AddKinds() {
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("Prologix on a terminal") << QByteArray("prologix");
    QTest::newRow("AR488 on TCP") << QByteArray("ar488");
}

} // namespace

class TestPrologix : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && QDir::setCurrent(dir.path())); }

    void escaping_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("plain") << QByteArray("MEAS?") << QByteArray("MEAS?");
        QTest::newRow("all four") << QByteArray("a\rb\nc\x1b"
                                                "d+e")
                                  << QByteArray("a\x1b\rb\x1b\nc\x1b\x1b"
                                                "d\x1b+e");
        QTest::newRow("command-like") << QByteArray("++addr 5") << QByteArray("\x1b+\x1b+addr 5");
        QTest::newRow("NUL and high") << QByteArray("\0\xff", 2) << QByteArray("\0\xff", 2);
    }
    void escaping() {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, sent);
        QCOMPARE(PrologixEscaped(data), sent);
    }

    void parsing_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("poll"); // -1: not a poll byte
        QTest::addColumn<QList<int>>("listeners");
        QTest::newRow("16") << QByteArray("16") << 16 << QList<int>{16};
        QTest::newRow("list") << QByteArray("22,3, 9") << -1 << QList<int>{3, 9, 22};
        QTest::newRow("out of range") << QByteArray("256") << -1 << QList<int>{};
        QTest::newRow("0 and 31") << QByteArray("0,31,5,5") << -1 << QList<int>{5};
        QTest::newRow("text") << QByteArray("Prologix") << -1 << QList<int>{};
        QTest::newRow("sign") << QByteArray("-1") << -1 << QList<int>{};
        QTest::newRow("empty") << QByteArray("") << -1 << QList<int>{};
    }
    void parsing() {
        QFETCH(QByteArray, line);
        QFETCH(int, poll);
        QFETCH(QList<int>, listeners);
        QCOMPARE(PrologixPollByte(line).value_or(-1), poll);
        QCOMPARE(PrologixListeners(line), listeners);
    }

    void choice_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title"); // empty: not a valid choice
        QTest::newRow("serial") << "prologix:/dev/ttyUSB0"
                                << "GPIB adapter /dev/ttyUSB0";
        QTest::newRow("host") << "prologix:gpib-lan"
                              << "GPIB adapter gpib-lan:1234";
        QTest::newRow("host:port") << "prologix:10.1.2.3:4000"
                                   << "GPIB adapter 10.1.2.3:4000";
        QTest::newRow("port 0") << "prologix:host:0"
                                << "";
        QTest::newRow("port too big") << "prologix:host:70000"
                                      << "";
        QTest::newRow("no host") << "prologix::1234"
                                 << "";
        QTest::newRow("nothing") << "prologix:"
                                 << "";
    }
    void choice() {
        QFETCH(QString, text);
        QFETCH(QString, title);
        const BusChoice c = ParseBusChoice(text);
        QCOMPARE(c.kind == BusChoice::Kind::Prologix, !title.isEmpty());
        QCOMPARE(BusTitle(c), title);
    }

    // What cannot be reached is named in the box, with the way to the simulated bench.
    void unreachable_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing port") << "prologix:/dev/nonexistent-tty"
                                      << "The GPIB adapter /dev/nonexistent-tty cannot be reached.";
        QTest::newRow("nobody there") << "prologix:127.0.0.1:1"
                                      << "The GPIB adapter 127.0.0.1:1 cannot be reached.";
    }
    void unreachable() {
        QFETCH(QString, choice);
        QFETCH(QString, error);
        QString message;
        QVERIFY(!CreateDriver(ParseBusChoice(choice), &message));
        QVERIFY2(message.startsWith(error) && message.contains("SEQUOR_BUS=sim"),
                 qPrintable(message));
    }

    // A board that resets on opening answers ++ver only after a while; one that never answers
    // is given up at the deadline.
    void startUp_data() {
        QTest::addColumn<int>("silent"); // ++ver requests ignored
        QTest::addColumn<bool>("starts");
        QTest::newRow("answers at once") << 0 << true;
        QTest::newRow("after a reset") << 3 << true;
        QTest::newRow("never") << 1000 << false;
    }
    void startUp() {
        QFETCH(int, silent);
        QFETCH(bool, starts);
        auto bench = SimBus::fromJson(BenchJson(Instruments), nullptr);
        FakeAdapter fake(*bench, FakeAdapter::Kind::Ar488, FakeAdapter::Transport::Pty);
        fake.silentVersions = silent;
        Prologix::Options options;
        options.adapterReadMs = 50;
        options.versionDeadlineMs = 1000;
        const QString target = fake.target();
        auto adapter =
            std::make_unique<Prologix>([target] { return SerialStream(target); }, target, options);
        Prologix* raw = adapter.get();
        ThreadedDriver driver(std::move(adapter));
        QString error;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(driver.call([&](Driver&) { return raw->start(&error); }) != 0, starts);
        if (starts) {
            QVERIFY(raw->isAr488());
            const QByteArray setup = "mode 1\nauto 0\neoi 1\neos 3\neot_enable 0\nread_tmo_ms 50\n";
            QTRY_VERIFY2(fake.commands().endsWith("ver\n" + setup), fake.commands().constData());
        } else {
            QVERIFY2(error.contains("did not answer ++ver within 1 s") && error.contains(target),
                     qPrintable(error));
            QVERIFY(clock.elapsed() >= 1000 && clock.elapsed() < 3000);
        }
    }

    // The listener search: AR488 asks once, a plain Prologix polls every address.
    void listeners_data() { AddKinds(); }
    void listeners() {
        QFETCH(QByteArray, kind);
        Adapter a(kind);
        QVERIFY2(a.bench->ok(), qPrintable(a.bench->error()));
        platform::ScriptedPlatform sys;
        FindListeners();
        QCOMPARE(QList<int>(ListenerList.begin(), ListenerList.begin() + 4),
                 (QList<int>{3, 3, 7, 22}));
        const QByteArray commands = a.bench->adapter()->commands();
        QCOMPARE(commands.contains("fndl all"), kind == "ar488");
        QCOMPARE(commands.count("spoll"), kind == "ar488" ? 0 : 30);
        // The plain adapter's own wait is shortened for the search and then put back.
        if (kind == "prologix")
            QTRY_VERIFY(a.bench->adapter()->commands().trimmed().endsWith("read_tmo_ms 20") &&
                        commands.contains("read_tmo_ms 50\n"));
    }

    // Data and answers pass byte for byte, the four special bytes and NUL included; a long
    // answer comes in chunks; a silent instrument times out with EABO.
    void transfers_data() { AddKinds(); }
    void transfers() {
        QFETCH(QByteArray, kind);
        const QString journal = dir.filePath(kind + ".journal");
        QByteArray dump(700, 'x');
        dump[699] = 'y';
        Adapter a(kind, QByteArray(Instruments).replace("LONG", dump), journal);
        QVERIFY2(a.bench->ok(), qPrintable(a.bench->error()));
        Driver& d = a.bus();
        const int ud = d.ibdev(0, 3, 0, 11, 1, 0);
        const QByteArray data("OUT a\rb\nc\x1b"
                              "d+e\0f",
                              15);
        QCOMPARE(d.ibwrt(ud, data.constData(), data.size()) & ERR, 0);
        QCOMPARE(d.ibcntl(), 15L);
        char buffer[512];
        d.ibwrt(ud, "ODD?", 4);
        QCOMPARE(d.ibrd(ud, buffer, sizeof buffer) & (ERR | END), END);
        QCOMPARE(QByteArray(buffer, int(d.ibcntl())), QByteArray("A\r\nB\x1b+C\0D\n", 10));
        d.ibwrt(ud, "DUMP?", 5);
        QCOMPARE(d.ibrd(ud, buffer, sizeof buffer) & (ERR | END), 0);
        QCOMPARE(d.ibcntl(), 512L);
        QCOMPARE(d.ibrd(ud, buffer, sizeof buffer) & (ERR | END), END);
        QCOMPARE(QByteArray(buffer, int(d.ibcntl())), dump.mid(512) + "\n");
        d.ibwrt(ud, "MUTE?", 5);
        QCOMPARE(d.ibrd(ud, buffer, sizeof buffer), ERR | TIMO);
        QCOMPARE(d.iberr(), EABO);
        // Files: the file's bytes go out as they are; an answer replaces what the file held.
        QFile out(dir.filePath("out.dat")), in(dir.filePath("in.dat"));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write("OUT +1\r\n") == 8);
        QVERIFY(in.open(QIODevice::WriteOnly) && in.write("an older answer, longer") > 0);
        out.close();
        in.close();
        QCOMPARE(d.ibwrtf(ud, out.fileName().toLocal8Bit().constData()) & ERR, 0);
        d.ibwrt(ud, "*IDN?", 5);
        QCOMPARE(d.ibrdf(ud, in.fileName().toLocal8Bit().constData()) & (ERR | END), END);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), QByteArray("SIMLAB,M401A,0,1.0\n"));
        QCOMPARE(JournalText(journal).section('\n', 0, 0),
                 QString("3 W OUT a\\rb\\nc\\x1Bd+e\\x00f"));
        QVERIFY(JournalText(journal).contains("3 W OUT +1\\r\\n\n"));
    }

    // A command error under both status models: the 488.2 meter raises a service request
    // for its event status bit; the old meter flags it in its poll byte.
    void commandError_data() { AddKinds(); }
    void commandError() {
        QFETCH(QByteArray, kind);
        Adapter a(kind);
        QVERIFY(a.bench->ok());
        Driver& d = a.bus();
        const int ud = d.ibdev(0, 3, 0, 11, 1, 0);
        d.ibtmo(ud, 10);
        for (const char* c : {"*ESE 32", "*SRE 32"})
            d.ibwrt(ud, c, qstrlen(c));
        QCOMPARE(d.ibwait(ud, TIMO | RQS) & (RQS | TIMO), TIMO);
        d.ibwrt(ud, "BOGUS", 5);
        QCOMPARE(d.ibwait(ud, TIMO | RQS) & (RQS | TIMO), RQS);
        char poll = 0;
        QCOMPARE(d.ibrsp(ud, &poll) & ERR, 0);
        QCOMPARE(int(uchar(poll)), 96);
        d.ibpad(ud, 7);
        d.ibwrt(ud, "BOGUS", 5);
        QCOMPARE(d.ibrsp(ud, &poll) & ERR, 0);
        QCOMPARE(int(uchar(poll)), 97);
        d.ibpad(ud, 9); // nobody there: the poll times out
        QCOMPARE(d.ibrsp(ud, &poll), ERR | TIMO);
    }

    // The adapter vanishes in the middle of a run: the user gets the driver's boxes, Cancel
    // ends the program, and the rows logged before stay in the file.
    void vanishes_data() { AddKinds(); }
    void vanishes() {
        QFETCH(QByteArray, kind);
        qputenv("SEQUOR_TEST_BACKEND", kind);
        FormFixture f(BenchJson(R"({"address": 3, "replies": {"MEAS?": ["+1", "+2", "+3"]}})"));
        qunsetenv("SEQUOR_TEST_BACKEND");
        QVERIFY(f.bench.ok() && f.start());
        f.ui()->Text_Path->setText(dir.path());
        f.ui()->Text_FileName->setText(kind + ".csv");
        f.p.Option_ID[2]->click();
        f.ui()->Combo_Addr->setCurrentText("3");
        f.p.Button_Connect_Click();
        f.ui()->Text_MeasQuery->setText("MEAS?");
        f.p.Text_Time[0]->setText("1");
        f.p.Text_Time[1]->setText("6");
        f.p.Button_ApplyTime_Click();
        f.p.timing.IntervalSeconds = f.p.timing.TotalSeconds = 0;
        f.bench.adapter()->readsLeft = 3; // the third read of the run finds no adapter
        f.sys.answerBox(Answer::Ok, "I/O Error");
        f.sys.answerBox(Answer::Cancel, "GPIB ERROR # 7");
        QElapsedTimer clock;
        clock.start();
        try {
            f.p.Button_Start_Click();
        } catch (const platform::ProgramEnded&) {
        }
        QVERIFY(f.sys.ended && clock.elapsed() < 20000);
        QCOMPARE(f.sys.boxes.last().text,
                 QString("Non-existent GPIB board.\nSelect OK to continue or Cancel to "
                         "terminate program."));
        QFile log(dir.filePath(kind + ".csv"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("sep=;\r\nSequence;Measured\r\n1;+1\r\n2;+2\r\n3;\r\n"));
    }

    // Only where SEQUOR_TEST_ADAPTER names a real adapter (e.g. prologix:/dev/ttyUSB0).
    void realAdapter() {
        const QString choice = qEnvironmentVariable("SEQUOR_TEST_ADAPTER");
        if (choice.isEmpty()) QSKIP("SEQUOR_TEST_ADAPTER names no real adapter");
        QString error;
        auto driver = CreateDriver(ParseBusChoice(choice), &error);
        QVERIFY2(driver, qPrintable(error));
        SetBus(driver.get());
        ResetBusGlobals();
        platform::ScriptedPlatform sys;
        FindListeners();
        QVERIFY(ListenerList[0] >= 1);
        SetBus(nullptr);
    }
};

QTEST_MAIN(TestPrologix)
#include "tst_prologix.moc"
