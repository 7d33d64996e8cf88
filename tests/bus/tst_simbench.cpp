// The simulated bench must answer the driver calls the way a bus with instruments does,
// since every other test and the demonstration run on it.
#include "bus/GpibDriver.h"
#include "bus/SimBench.h"
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace gpib;
using Bytes = QList<QByteArray>;

namespace {

// A bench with the given instruments (JSON objects, comma separated); timeouts run 1000x
// faster, so the default 1 s descriptor times out after 1 ms.
std::unique_ptr<SimBus> Bench(const QByteArray& instruments, const QByteArray& extra = {}) {
    QString error;
    auto bus = SimBus::fromJson(
        "{\"timeout_scale\": 0.001, " + extra + "\"instruments\": [" + instruments + "]}", &error);
    if (!bus) qWarning("bench rejected: %s", qPrintable(error));
    return bus;
}

int Open(SimBus& bus, int pad, int tmo = 11) {
    return bus.ibdev(0, pad, 0, tmo, 1, 0);
}

void Write(SimBus& bus, int ud, const QByteArray& text) {
    bus.ibwrt(ud, text.constData(), text.size());
}

// Reads one whole answer in chunks of the given size; empty on a timeout.
QByteArray ReadAnswer(SimBus& bus, int ud, int chunk = 512, QList<int>* states = nullptr) {
    QByteArray answer;
    for (int i = 0; i < 100; ++i) {
        QByteArray buf(chunk, ' ');
        const int sta = bus.ibrd(ud, buf.data(), chunk);
        if (states) states->append(sta);
        if (sta & ERR) return {};
        answer += buf.left(bus.ibcntl());
        if (sta & END) break;
    }
    return answer;
}

int Poll(SimBus& bus, int ud) {
    char spr = 0;
    bus.ibrsp(ud, &spr);
    return static_cast<unsigned char>(spr);
}

const QByteArray Meter = R"({"address": 3, "replies": {"*IDN?": "SIMLAB,M401A,0,1.0",
    "MEAS?": ["+1", "+2"], "BAD?": {"write_error": 6}, "MUTE?": null,
    "SLOW?": {"answer": "slow", "delay_ms": 150}}, "accepts": ["OUT ON", "VSET *"]})";
const QByteArray OldMeter =
    R"({"address": 5, "status": "serial-poll", "terminator": "\r\n", "replies": {"ID?": "OLD"}})";

} // namespace

class TestSimBench : public QObject {
    Q_OBJECT

private slots:
    void findListeners_data() {
        QTest::addColumn<QList<int>>("addresses");
        QTest::addColumn<int>("error");
        QTest::addColumn<QList<int>>("result");
        QList<int> fourteen;
        for (int a = 1; a <= 14; ++a)
            fourteen << a;
        QTest::newRow("none") << QList<int>{} << EBUS << QList<int>{};
        QTest::newRow("any order") << QList<int>{22, 3, 9} << -1 << QList<int>{0, 3, 9, 22};
        QTest::newRow("14 fit") << fourteen << -1 << (QList<int>{0} + fourteen);
        QTest::newRow("15 too many")
            << (fourteen + QList<int>{30}) << ETAB << (QList<int>{0} + fourteen);
    }
    void findListeners() {
        QFETCH(QList<int>, addresses);
        QFETCH(int, error);
        QFETCH(QList<int>, result);
        QByteArrayList list;
        for (int a : addresses)
            list << "{\"address\": " + QByteArray::number(a) + "}";
        auto bus = Bench(list.join(','));
        QVERIFY(bus);
        std::array<Addr4882_t, 32> pads{};
        for (int a = 0; a <= 30; ++a)
            pads[a] = static_cast<Addr4882_t>(a);
        pads[31] = NOADDR;
        std::array<Addr4882_t, 15> found{};
        bus->FindLstn(0, pads.data(), found.data(), 15);
        QCOMPARE(bool(bus->ibsta() & ERR), error >= 0);
        if (error >= 0) QCOMPARE(bus->iberr(), error);
        QCOMPARE(bus->ibcntl(), long(result.size()));
        for (int i = 0; i < result.size(); ++i)
            QCOMPARE(int(found[i]), result[i]);
    }

    void chunkedRead_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("chunks");
        QTest::newRow("one chunk exactly") << 511 << 1;
        QTest::newRow("one byte over") << 512 << 2;
        QTest::newRow("three chunks") << 1300 << 3;
    }
    void chunkedRead() {
        QFETCH(int, length);
        QFETCH(int, chunks);
        QByteArray answer;
        for (int i = 0; i < length; ++i)
            answer += char(i % 7 ? 'a' + i % 26 : 0);
        const QByteArray json = QByteArray(answer).replace('\0', "\\u0000");
        auto bus = Bench("{\"address\": 3, \"replies\": {\"DUMP?\": \"" + json + "\"}}");
        QVERIFY(bus);
        const int ud = Open(*bus, 3);
        Write(*bus, ud, "DUMP?\n");
        QList<int> states;
        const QByteArray got = ReadAnswer(*bus, ud, 512, &states);
        QCOMPARE(got, answer + "\n");
        QCOMPARE(states.size(), chunks);
        for (int i = 0; i < chunks; ++i)
            QCOMPARE(bool(states[i] & END), i == chunks - 1);
    }

    void failures_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("writeError");
        QTest::newRow("nobody at the address") << 4 << QByteArray("*IDN?") << ENOL;
        QTest::newRow("write_error") << 3 << QByteArray("bad?\n") << EABO;
        QTest::newRow("silent reply times out") << 3 << QByteArray("MUTE?") << -1;
        QTest::newRow("command times out") << 3 << QByteArray("OUT ON") << -1;
    }
    void failures() {
        QFETCH(int, address);
        QFETCH(QByteArray, command);
        QFETCH(int, writeError);
        QString error;
        auto bus =
            SimBus::fromJson("{\"timeout_scale\": 0.01, \"instruments\": [" + Meter + "]}", &error);
        QVERIFY2(bus, qPrintable(error));
        const int ud = Open(*bus, address, 13);
        Write(*bus, ud, command);
        if (writeError >= 0) {
            QCOMPARE(bus->ibsta(), ERR);
            QCOMPARE(bus->iberr(), writeError);
            return;
        }
        QCOMPARE(bus->ibsta(), CMPL);
        QElapsedTimer clock;
        clock.start();
        char buf[16];
        QCOMPARE(bus->ibrd(ud, buf, sizeof buf), ERR | TIMO);
        QCOMPARE(bus->iberr(), EABO);
        QCOMPARE(bus->ibcntl(), 0L);
        QVERIFY2(clock.elapsed() >= 95 && clock.elapsed() < 2000,
                 qPrintable(QString::number(clock.elapsed())));
    }

    void ieeeStatus_data() {
        QTest::addColumn<Bytes>("commands");
        QTest::addColumn<int>("poll");
        QTest::addColumn<int>("pollAgain");
        QTest::newRow("error requests service")
            << Bytes{"*ESE 32", "*SRE 32", "NONSENSE"} << 0x60 << 0x20;
        QTest::newRow("not enabled in SRE") << Bytes{"*ESE 32", "NONSENSE"} << 0x20 << 0x20;
        QTest::newRow("not enabled in ESE") << Bytes{"*SRE 32", "NONSENSE"} << 0 << 0;
        QTest::newRow("answer waiting") << Bytes{"*SRE 16", "*IDN?"} << 0x50 << 0x10;
        QTest::newRow("error with answer waiting")
            << Bytes{"DESE 32", "*ESE 32", "*SRE 48", "*idn?", "X"} << 0x70 << 0x30;
        QTest::newRow("*CLS clears") << Bytes{"*ESE 32", "*SRE 48", "*IDN?", "X", "*CLS"} << 0 << 0;
        QTest::newRow("bad register value")
            << Bytes{"*ESE 32", "*SRE 32", "*ESE 999"} << 0x60 << 0x20;
        QTest::newRow("accepted commands")
            << Bytes{"*ESE 32", "*SRE 32", "OUT ON", "VSET 1.5"} << 0 << 0;
        QTest::newRow("accept needs the whole prefix")
            << Bytes{"*ESE 32", "*SRE 32", "VSET"} << 0x60 << 0x20;
    }
    void ieeeStatus() {
        QFETCH(Bytes, commands);
        QFETCH(int, poll);
        QFETCH(int, pollAgain);
        auto bus = Bench(Meter);
        QVERIFY(bus);
        const int ud = Open(*bus, 3);
        for (const auto& c : commands) {
            Write(*bus, ud, c);
            QCOMPARE(bus->ibsta(), CMPL);
        }
        QCOMPARE(bus->ibwait(ud, TIMO | RQS), (poll & 0x40) ? (CMPL | RQS) : (CMPL | TIMO));
        QCOMPARE(Poll(*bus, ud), poll);
        QCOMPARE(Poll(*bus, ud), pollAgain);
    }

    void eventRegisterQuery() {
        auto bus = Bench(Meter);
        QVERIFY(bus);
        const int ud = Open(*bus, 3);
        Write(*bus, ud, "NONSENSE");
        Write(*bus, ud, "*ESR?");
        QCOMPARE(ReadAnswer(*bus, ud), QByteArray("32\n"));
        Write(*bus, ud, "*ESR?");
        QCOMPARE(ReadAnswer(*bus, ud), QByteArray("0\n"));
    }

    void serialPollStatus_data() {
        QTest::addColumn<Bytes>("commands");
        QTest::addColumn<int>("poll");
        QTest::addColumn<int>("pollAgain");
        QTest::newRow("error") << Bytes{"*ESE 32"} << 97 << 0;
        QTest::newRow("error with answer waiting") << Bytes{"ID?", "BAD"} << 113 << 16;
        QTest::newRow("answer waiting") << Bytes{"ID?"} << 16 << 16;
    }
    void serialPollStatus() {
        QFETCH(Bytes, commands);
        QFETCH(int, poll);
        QFETCH(int, pollAgain);
        auto bus = Bench(OldMeter);
        QVERIFY(bus);
        const int ud = Open(*bus, 5);
        for (const auto& c : commands)
            Write(*bus, ud, c);
        QCOMPARE(Poll(*bus, ud), poll);
        QCOMPARE(Poll(*bus, ud), pollAgain);
    }

    void deviceClear() {
        auto bus = Bench(Meter + "," + OldMeter);
        QVERIFY(bus);
        const int ud = Open(*bus, 5);
        Write(*bus, ud, "ID?");
        Write(*bus, ud, "BAD");
        QCOMPARE(bus->ibclr(ud), CMPL);
        QCOMPARE(Poll(*bus, ud), 0);
        char buf[8];
        QCOMPARE(bus->ibrd(ud, buf, 8), ERR | TIMO);
        bus->ibpad(ud, 3);
        Write(*bus, ud, "*ESE 32");
        Write(*bus, ud, "X");
        bus->DevClear(0, 3);
        QCOMPARE(bus->ibsta(), CMPL);
        QCOMPARE(Poll(*bus, ud), 0);
        bus->DevClear(0, 4);
        QCOMPARE(bus->iberr(), ENOL);
    }

    void answers_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<Bytes>("commands");
        QTest::addColumn<bool>("readEach");
        QTest::addColumn<QByteArray>("answers");
        QTest::newRow("list repeats its last entry")
            << 3 << Bytes{"MEAS?", "MEAS?", "MEAS?"} << true << QByteArray("+1\n+2\n+2\n");
        QTest::newRow("case and line ends")
            << 3 << Bytes{"*idn?\r\n"} << true << QByteArray("SIMLAB,M401A,0,1.0\n");
        QTest::newRow("a query replaces an unread answer")
            << 3 << Bytes{"MEAS?", "*IDN?"} << false << QByteArray("SIMLAB,M401A,0,1.0\n");
        QTest::newRow("a command keeps an unread answer")
            << 3 << Bytes{"MEAS?", "OUT ON", "NONSENSE"} << false << QByteArray("+1\n");
        QTest::newRow("terminator") << 5 << Bytes{"ID?"} << true << QByteArray("OLD\r\n");
    }
    void answers() {
        QFETCH(int, address);
        QFETCH(Bytes, commands);
        QFETCH(bool, readEach);
        QFETCH(QByteArray, answers);
        auto bus = Bench(Meter + "," + OldMeter);
        QVERIFY(bus);
        const int ud = Open(*bus, address);
        QByteArray got;
        for (const auto& c : commands) {
            Write(*bus, ud, c);
            if (readEach) got += ReadAnswer(*bus, ud);
        }
        if (!readEach) got = ReadAnswer(*bus, ud);
        QCOMPARE(got, answers);
    }

    void delays_data() {
        QTest::addColumn<QByteArray>("instrument");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("tmo");
        QTest::addColumn<bool>("answered");
        QTest::newRow("reply delay within timeout") << Meter << QByteArray("SLOW?") << 17 << true;
        QTest::newRow("reply delay beyond timeout") << Meter << QByteArray("SLOW?") << 13 << false;
        QTest::newRow("instrument delay")
            << QByteArray(R"({"address": 3, "delay_ms": 150, "replies": {"SLOW?": "slow"}})")
            << QByteArray("SLOW?") << 17 << true;
    }
    void delays() {
        QFETCH(QByteArray, instrument);
        QFETCH(QByteArray, command);
        QFETCH(int, tmo);
        QFETCH(bool, answered);
        auto bus = Bench(instrument);
        QVERIFY(bus);
        const int ud = Open(*bus, 3, tmo);
        QElapsedTimer clock;
        clock.start();
        Write(*bus, ud, command);
        QCOMPARE(Poll(*bus, ud), 0); // not yet available
        QCOMPARE(ReadAnswer(*bus, ud), answered ? QByteArray("slow\n") : QByteArray());
        QCOMPARE(clock.elapsed() >= 140, answered);
        if (!answered) { // the answer still comes later
            bus->ibtmo(ud, 17);
            QCOMPARE(ReadAnswer(*bus, ud), QByteArray("slow\n"));
        }
    }

    void journal() {
        QTemporaryDir dir;
        const QString path = dir.filePath("journal.txt");
        auto bus = Bench(Meter, "\"journal\": \"" + path.toUtf8() + "\", ");
        QVERIFY(bus);
        const int ud = Open(*bus, 3);
        Write(*bus, ud, "*IDN?\n");
        ReadAnswer(*bus, ud);
        Write(*bus, ud, QByteArray("A\\B\0\xff\t\r", 7));
        Poll(*bus, ud);
        char buf[4];
        bus->ibrd(ud, buf, 4); // timed out: no line
        bus->ibclr(ud);
        bus->SendIFC(0);
        bus->ibpad(ud, 4);
        Write(*bus, ud, "lost"); // nobody listens: no line
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("3 W *IDN?\\n\n"
                                         "3 R SIMLAB,M401A,0,1.0\\n\n"
                                         "3 W A\\\\B\\x00\\xFF\\x09\\r\n"
                                         "3 P 0\n"
                                         "3 C\n"
                                         "0 I\n"));
    }

    void fileTransfers() {
        QTemporaryDir dir;
        auto bus = Bench(Meter);
        QVERIFY(bus);
        const int ud = Open(*bus, 3);
        const QByteArray out = dir.filePath("out.dat").toLocal8Bit();
        QFile cmd(dir.filePath("cmd.dat"));
        QVERIFY(cmd.open(QIODevice::WriteOnly));
        cmd.write("*IDN?\r\n");
        cmd.close();
        QCOMPARE(bus->ibwrtf(ud, cmd.fileName().toLocal8Bit().constData()), CMPL);
        QCOMPARE(bus->ibcntl(), 7L);
        QCOMPARE(bus->ibrdf(ud, out.constData()), END | CMPL);
        QCOMPARE(bus->ibcntl(), 19L);
        QFile got(QString::fromLocal8Bit(out));
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(got.readAll(), QByteArray("SIMLAB,M401A,0,1.0\n"));
        QCOMPARE(bus->ibrdf(ud, out.constData()), ERR | TIMO);
        QCOMPARE(bus->ibwrtf(ud, dir.filePath("missing").toLocal8Bit().constData()), ERR);
        QCOMPARE(bus->iberr(), EFSO);
    }

    void arguments() {
        auto bus = Bench(Meter);
        QVERIFY(bus);
        QCOMPARE(Open(*bus, 3, 13), 1);
        QCOMPARE(Open(*bus, 3), 2);
        int tmo = -1;
        QCOMPARE(bus->ibask(1, IbaTMO, &tmo), CMPL);
        QCOMPARE(tmo, 13);
        QCOMPARE(bus->ibtmo(1, 18), ERR);
        QCOMPARE(bus->iberr(), EARG);
        QCOMPARE(bus->ibpad(1, 31), ERR);
        QCOMPARE(bus->iberr(), EARG);
        QCOMPARE(bus->ibpad(3, 3), ERR);
        QCOMPARE(bus->iberr(), EDVR);
        QCOMPARE(bus->ibwait(1, TIMO | CMPL), CMPL);
    }

    void benchErrors_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem");
        QTest::newRow("unreadable") << QByteArray() << "cannot be read";
        QTest::newRow("malformed")
            << QByteArray("{\n\"instruments\": [\n{\"address\": \"3}]}") << "line 3: ";
        QTest::newRow("no address") << QByteArray(R"({"instruments": [{"address": 1}, {}]})")
                                    << "instrument 2 has no address";
        QTest::newRow("address 31")
            << QByteArray(R"({"instruments": [{"address": 31}]})") << "address 31 is outside 1..30";
        QTest::newRow("address text")
            << QByteArray(R"({"instruments": [{"address": "3"}]})") << "not a whole number";
        QTest::newRow("duplicate")
            << QByteArray(R"({"instruments": [{"address": 3}, {"address": 3}]})")
            << "instrument 2: address 3 is used twice";
        QTest::newRow("status") << QByteArray(
                                       R"({"instruments": [{"address": 3, "status": "scpi"}]})")
                                << "unknown status model \"scpi\"";
        QTest::newRow("reply type")
            << QByteArray(R"({"instruments": [{"address": 3, "replies": {"A?": 5}}]})")
            << "reply \"A?\" is not a string, list, object or null";
        QTest::newRow("not a byte")
            << QByteArray(R"({"instruments": [{"address": 3, "replies": {"A?": "\u20ac"}}]})")
            << "reply \"A?\" is not a byte string";
        QTest::newRow("delay") << QByteArray(
                                      R"({"instruments": [{"address": 3, "delay_ms": "fast"}]})")
                               << "delay_ms";
        QTest::newRow("typo") << QByteArray(R"({"instruments": [{"address": 3, "reply": {}}]})")
                              << "instrument 1: unknown key \"reply\"";
    }
    void benchErrors() {
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString path = dir.filePath("bench.json");
        if (!content.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QString error;
        QVERIFY(!SimBus::fromFile(path, &error));
        QVERIFY2(error.startsWith("Bench file " + path + ": "), qPrintable(error));
        QVERIFY2(error.contains(problem), qPrintable(error));
    }

    void createDriver_data() {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("error");
        const QString noDriver = "No GPIB driver was found on this computer.\n\n"
                                 "Start with SEQUOR_BUS=sim to use the simulated bench.";
        QTest::newRow("unset") << QByteArray() << noDriver;
        QTest::newRow("other value") << QByteArray("ni") << noDriver;
        QTest::newRow("sim") << QByteArray("sim") << QString();
        QTest::newRow("bench file") << QByteArray("sim:GOOD") << QString();
        QTest::newRow("missing bench file") << QByteArray("sim:/nonexistent/b.json")
                                            << "Bench file /nonexistent/b.json: cannot be read";
    }
    void createDriver() {
        QFETCH(QByteArray, variable);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QFile good(dir.filePath("good.json"));
        QVERIFY(good.open(QIODevice::WriteOnly));
        good.write("{\"instruments\": [" + OldMeter + "]}");
        good.close();
        const bool wasSet = qEnvironmentVariableIsSet("SEQUOR_BUS");
        const QByteArray saved = qgetenv("SEQUOR_BUS");
        if (variable.isEmpty())
            qunsetenv("SEQUOR_BUS");
        else
            qputenv("SEQUOR_BUS", variable.replace("GOOD", good.fileName().toLocal8Bit()));
        QString message;
        auto driver = CreateDriverFromEnvironment(&message);
        if (wasSet)
            qputenv("SEQUOR_BUS", saved);
        else
            qunsetenv("SEQUOR_BUS");
        QCOMPARE(driver == nullptr, !error.isEmpty());
        QVERIFY2(message.startsWith(error), qPrintable(message));
        if (!driver) return;
        // The bench really is the one asked for.
        const int ud = driver->ibdev(0, variable == "sim" ? 7 : 5, 0, 11, 1, 0);
        const QByteArray id = "ID?";
        driver->ibwrt(ud, id.constData(), id.size());
        QCOMPARE(driver->ibsta(), CMPL);
    }

    void builtInBench() {
        auto bus = SimBus::builtIn();
        std::array<Addr4882_t, 32> pads{};
        for (int a = 0; a <= 30; ++a)
            pads[a] = static_cast<Addr4882_t>(a);
        pads[31] = NOADDR;
        std::array<Addr4882_t, 15> found{};
        bus->FindLstn(0, pads.data(), found.data(), 15);
        QCOMPARE(bus->ibcntl(), 5L);
        const int meter = Open(*bus, 3);
        Write(*bus, meter, "*IDN?\n");
        QVERIFY(ReadAnswer(*bus, meter).startsWith("SIMLAB,"));
        const QRegularExpression volts("^[+-]\\d\\.\\d{5}E[+-]\\d\\dVDC\\n$");
        double previous = 0;
        for (int i = 0; i < 20; ++i) {
            Write(*bus, meter, i % 2 ? "MEAS?\n" : "MEAS:VOLT:DC?\n");
            const QByteArray v = ReadAnswer(*bus, meter);
            QVERIFY2(volts.match(QString::fromLatin1(v)).hasMatch(), v.constData());
            const double value = v.chopped(4).toDouble();
            if (i) QVERIFY(qAbs(value - previous) < 0.01);
            previous = value;
        }
        const int old = Open(*bus, 7, 5);
        Write(*bus, old, "ID?");
        QVERIFY(ReadAnswer(*bus, old).endsWith("\r\n"));
        Write(*bus, old, "*IDN?"); // too old for IEEE 488.2
        QCOMPARE(Poll(*bus, old), 97);
        Write(*bus, old, "DUMP?");
        QVERIFY(ReadAnswer(*bus, old).size() > 512);
        const int relay = Open(*bus, 9, 5);
        Write(*bus, relay, "OUT ON");
        Write(*bus, relay, "VSET 5.0");
        Write(*bus, relay, "OUT?");
        QCOMPARE(Poll(*bus, relay), 0);
        QCOMPARE(ReadAnswer(*bus, relay), QByteArray());
        const int probe = Open(*bus, 12);
        QList<double> t;
        for (int i = 0; i < 120; ++i) {
            Write(*bus, probe, "TEMP?");
            t << ReadAnswer(*bus, probe).toDouble();
        }
        const auto peak = std::max_element(t.begin(), t.end()) - t.begin();
        QCOMPARE(t.first(), 21.5);
        QVERIFY(peak > 5 && peak < 100);
        QVERIFY(t.last() < t[peak] - 3);
    }
};

QTEST_GUILESS_MAIN(TestSimBench)
#include "tst_simbench.moc"
