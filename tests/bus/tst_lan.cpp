// The LAN back-end: the choice (the USB one's too) by table, the VXI-11 wire format, and a walk
// through the store's list, transfers and faults by a fake VXI-11 gateway and fake raw-socket
// instruments over the simulated bench.
#include "TestBench.h"
#include "bus/BusChoice.h"
#include "bus/LanBus.h"
#include "platform/ScriptedPlatform.h"
#include "terminal/TerminalFixture.h"
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

using namespace gpib;

namespace {

const QByteArray Instruments = R"({"address": 3, "replies": {"*IDN?": "SIMLAB,M401A,0,1.0",
        "BIG?": "%1"}, "accepts": ["OUT *"]},
    {"address": 7, "status": "serial-poll", "replies": {"ID?": "OLD"}})";

} // namespace

class TestLan : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    // A bus choice (port and title) or a stored LAN target (kind host port device) as text;
    // empty: not understood.
    void parse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed");
        auto row = [](const char* text, const char* parsed) {
            QTest::newRow(text) << QString(text) << QString(parsed);
        };
        row("vxi11:gw/gpib1", "111 VXI-11 gateway gw/gpib1");
        row("vxi11://dmm.lab", "V dmm.lab 111 inst0");
        row("vxi11://h:999/hislip0", "V h 999 hislip0");
        row("raw://scope", "R scope 5025 ");
        for (const char* bad :
             {"vxi11:gw:0", "vxi11:gw/", "vxi11:gw/gpib0,3", "usbtmc:1", "raw://", "raw://h:0",
              "raw://h:70000", "raw://h/x", "vxi11://h/", "raw://h:x"})
            row(bad, "");
    }
    void parse() {
        QFETCH(QString, text);
        QString parsed;
        if (!text.contains("://")) {
            if (const BusChoice c = ParseBusChoice(text); c.kind != BusChoice::Kind::Invalid)
                parsed = QString("%1 %2").arg(c.port).arg(BusTitle(c));
        } else if (const auto t = ParseLanTarget(text)) {
            parsed = QString("%1 %2 %3 %4")
                         .arg(t->kind == LanTarget::Kind::Vxi11 ? "V" : "R", t->host)
                         .arg(t->port)
                         .arg(QString::fromLatin1(t->device));
        }
        QTEST(parsed, "parsed");
    }

    // An RPC call as the wire carries it: record mark, header, AUTH_NONE, arguments.
    void wireFormat() {
        using namespace vxi11;
        const QByteArray args = XdrWriter().u32(7).opaque("gpib0,5").bytes();
        QCOMPARE(RecordMarked(CallMessage(0x11223344, CoreProgram, CoreVersion, CreateLink, args))
                     .toHex(' '),
                 QByteArray("80 00 00 38 11 22 33 44 00 00 00 00 00 00 00 02 00 06 07 af 00 00 00 "
                            "01 00 00 00 0a 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                            "00 07 00 00 00 07 67 70 69 62 30 2c 35 00"));
    }

    // Through each kind: raw instruments listed in the store (none is an error that says what
    // was looked for), a link refused (a gateway's), queries and an answer of 1 MB whole, serial
    // poll and device clear through their own calls (a raw instrument has no serial poll); then a
    // host that takes the connection and never answers: a failed call within its limits, never a
    // hang; and a host gone: every call fails.
    void walk_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("VXI-11 gateway") << QByteArray("vxi11");
        QTest::newRow("raw sockets") << QByteArray("raw");
    }
    void walk() {
        QFETCH(QByteArray, kind);
        const QString journal = dir.filePath(kind + ".journal");
        // A 1 MB answer: more than a device_read asks for at once.
        const QByteArray big = QByteArray(Instruments).replace("%1", QByteArray(1 << 20, 'x'));
        const auto bench = SimBus::fromJson(BenchJson(big, journal), nullptr);
        const QList<int> pads = kind == "raw" ? QList<int>{3, 7} : QList<int>{};
        auto fake = std::make_unique<FakeLan>(*bench, bench->timeoutScale(), pads);
        QString error;
        std::unique_ptr<Driver> driver;
        if (kind == "raw") {
            platform::ScriptedPlatform sys;
            QVERIFY(!CreateDriver(ParseBusChoice("lan"), &error));
            QVERIFY2(error.contains("keys 1 to 30 of the section LAN") &&
                         error.contains("SEQUOR_BUS=sim"),
                     qPrintable(error));
            for (int pad : pads)
                sys.settings[QString("Sequor/LAN/%1").arg(pad)] =
                    QString(" raw://127.0.0.1:%1 ").arg(fake->rawPort(pad));
            driver = CreateDriver(ParseBusChoice("lan"), &error);
        } else {
            driver = OverLan(*fake, false, {}, bench->timeoutScale(), &error);
        }
        QVERIFY2(driver, qPrintable(error));
        const int ud = driver->ibdev(0, 3, 0, 13, 1, 0);
        if (kind == "vxi11") {
            fake->refuseLinks = true;
            QCOMPARE(driver->ibwrt(ud, "*IDN?", 5), ERR);
            QCOMPARE(driver->iberr(), ENOL);
            fake->refuseLinks = false;
        }
        driver->ibwrt(ud, "*IDN?", 5);
        QCOMPARE(WholeAnswer(*driver, ud, 7), QByteArray("SIMLAB,M401A,0,1.0\n"));
        driver->ibwrt(ud, "BIG?", 4);
        QCOMPARE(WholeAnswer(*driver, ud, 3 << 20), QByteArray(1 << 20, 'x') + '\n');
        char stb = 0;
        driver->ibwrt(ud, "BOGUS", 5);
        const int polled = driver->ibrsp(ud, &stb);
        if (kind == "raw") QCOMPARE(driver->iberr(), ECAP);
        QCOMPARE(polled, kind == "raw" ? ERR : CMPL);
        QCOMPARE(driver->ibclr(ud), CMPL);
        const QString text = JournalText(journal);
        QVERIFY2(kind == "raw" ||
                     (text.contains("3 P ") && text.contains("3 C") && !text.contains("*STB?")),
                 qPrintable(text));

        fake->mute = true;
        driver->ibtmo(ud, 11); // 1 s: the store's raw instruments wait unscaled
        const auto started = std::chrono::steady_clock::now();
        char buffer[64];
        const int sta = driver->ibwrt(ud, "*IDN?", 5) & ERR
                            ? driver->ibsta()
                            : driver->ibrd(ud, buffer, sizeof buffer);
        QCOMPARE(sta & (ERR | TIMO), ERR | TIMO);
        QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(12));
        if (kind == "vxi11") {
            const BusChoice c =
                ParseBusChoice(QString("vxi11:127.0.0.1:%1").arg(fake->portmapperPort()));
            QVERIFY(!CreateDriver(c, &error));
            QVERIFY2(error.startsWith("The VXI-11 gateway 127.0.0.1 cannot be reached: its "
                                      "portmapper did not answer within 3 s."),
                     qPrintable(error));
        }
        fake.reset();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(driver->ibwrt(ud, "OUT 1", 5) & ERR, ERR);
    }
    // Busmate's syntax check on a raw-socket instrument, which has no serial poll: the user is
    // told so and the check turns itself off; the answer still arrives.
    void busmateOnRawSockets() {
        qputenv("SEQUOR_TEST_BACKEND", "raw");
        Terminal t(QByteArray(Instruments).replace("%1", "x"));
        qunsetenv("SEQUOR_TEST_BACKEND");
        QVERIFY(t.start());
        t.ui()->AddressButton_1->click(); // address 7
        t.selection.SyntaxMethod[t.selection.SelectedButton] = -1;
        t.sys.answerBox(platform::Answer::Ok, "Syntax Checking");
        t.send("ID?");
        QVERIFY(
            t.sys.boxes.last().text.startsWith("The device at address 7 cannot be serial-polled"));
        QCOMPARE(t.selection.SyntaxMethod[t.selection.SelectedButton], 0);
        QVERIFY(t.form->Incoming.endsWith("OLD\r\n"));
    }
};

QTEST_MAIN(TestLan)
#include "tst_lan.moc"
