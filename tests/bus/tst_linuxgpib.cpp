// The real buses' plumbing: choosing the bus, the linux-gpib back-end over the stand-in
// libgpib.so.0 with its status mapping, and the worker thread that runs every call: it keeps
// the window thread responsive, gives up a call that never returns as a failed bus (but not
// a slow one that makes headway), and lets the program quit past a stuck driver.
#include "StubDriver.h"
#include "TestBench.h"
#include "bus/BusChoice.h"
#include "bus/LinuxGpib.h"
#include "bus/ThreadedDriver.h"
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <future>
#include <thread>

using namespace gpib;

static const QString StandIn = STANDIN_LIBRARY;

// ibrd hangs until the gate opens (a stuck kernel driver); ibwrtf takes 400 ms in steps,
// reporting headway after each. The gate is shared: a worker left behind may outlive the test.
struct Stuck : StubDriver {
    explicit Stuck(std::shared_future<void> gate) : gate(std::move(gate)) {}
    int ibrd(int, void*, long) override {
        gate.wait();
        return ok();
    }
    int ibwrtf(int, const char*) override {
        for (int step = 0; step < 10; ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            progressed();
        }
        return ok(1234);
    }
    std::shared_future<void> gate;
};

static constexpr int MarginMs = 200, Timeout30ms = 7;

class TestLinuxGpib : public QObject {
    Q_OBJECT

private slots:
    void choice_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind"); // BusChoice::Kind
        QTest::addColumn<QString>("title");
        using K = BusChoice::Kind;
        auto row = [](const char* t, K k, const char* title) {
            QTest::newRow(t) << QString(t) << int(k) << QString(title);
        };
        row("sim", K::Sim, "simulated bench");
        row("sim:/a/b/bench.json", K::SimFile, "simulated bench bench.json");
        row("gpib", K::LinuxGpib, "");
        row("gpib:2", K::LinuxGpib, "linux-gpib board 2");
        row("prologix:/dev/ttyUSB0", K::Prologix, "GPIB adapter /dev/ttyUSB0");
        row("prologix:gpib-lan", K::Prologix, "GPIB adapter gpib-lan:1234");
        row("prologix:10.1.2.3:4000", K::Prologix, "GPIB adapter 10.1.2.3:4000");
        for (const char* wrong : {"gpib:16", "gpib:", "gpib:+1", "gpib:1x", "sim:", "SIM", " gpib",
                                  "prologix:host:0", "prologix::1234", "prologix:"})
            row(wrong, K::Invalid, "");
    }
    void choice() {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QString, title);
        const BusChoice c = ParseBusChoice(text);
        QCOMPARE(int(c.kind), kind);
        QCOMPARE(BusTitle(c), title);
    }

    // Each way the library can fail gets a message naming what was looked for; none crashes.
    void open_data() {
        QTest::addColumn<QString>("library");
        QTest::addColumn<int>("board");
        QTest::addColumn<QString>("error"); // empty: opens
        QTest::newRow("stand-in") << StandIn << 0 << "";
        QTest::newRow("missing") << "/nonexistent/libgpib.so.0" << 0
                                 << "The linux-gpib library /nonexistent/libgpib.so.0 could not";
        QTest::newRow("lacks DevClear")
            << QString(NODEVCLEAR_LIBRARY) << 0 << "lacks the function DevClear.";
        QTest::newRow("no board 1") << StandIn << 1 << "No GPIB board answers as board 1 ";
    }
    void open() {
        QFETCH(QString, library);
        QFETCH(int, board);
        QFETCH(QString, error);
        QString message;
        const auto driver = LinuxGpib::open(library, board, &message);
        QCOMPARE(driver == nullptr, !error.isEmpty());
        QVERIFY2(message.contains(error) && (error.isEmpty() || message.contains("SEQUOR_BUS=sim")),
                 qPrintable(message));
    }

    // While a read blocks, the window thread handles its timers; a bus call made from one of
    // them waits for the read, then runs, and each caller sees its own call's status.
    void transfers() {
        QString error;
        auto lib = LinuxGpib::open(StandIn, 0, &error);
        const QByteArray bench =
            R"({"address": 4, "replies": {"SLOW?": {"answer": "late", "delay_ms": 400}}})";
        QVERIFY2(lib && UseStandInBench(StandIn, BenchJson(bench, {}, 1.0), &error),
                 qPrintable(error));
        ThreadedDriver d(std::move(lib));
        const int ud = d.ibdev(0, 4, 0, 12, 1, 0); // 3 s timeout
        d.ibwrt(ud, "SLOW?", 5);
        int nestedSta = 0, nestedErr = 0;
        QElapsedTimer clock;
        qint64 nestedAt = 0;
        QTimer::singleShot(100, [&] {
            nestedSta = d.ibwrt(d.ibdev(0, 6, 0, 12, 1, 0), "X?", 2); // nobody listens at 6
            nestedErr = d.iberr();
            nestedAt = clock.elapsed();
        });
        char buf[16] = {};
        clock.start();
        const int sta = d.ibrd(ud, buf, sizeof buf);
        const qint64 readTook = clock.elapsed();
        QCOMPARE(sta & (ERR | END), END);
        QCOMPARE(QByteArray(buf, int(d.ibcntl())), QByteArray("late\n"));
        QCOMPARE(nestedSta & ERR, ERR);
        QCOMPARE(nestedErr, ENOL);
        QVERIFY2(nestedAt >= 350 && readTook >= nestedAt,
                 qPrintable(QString("%1 %2").arg(nestedAt).arg(readTook)));
    }

    // A read that never returns fails as a timeout past its 30 ms and the margin; later calls
    // fail at once until the driver returns, then work. A slow call that makes headway is not
    // given up.
    void stuckCall() {
        std::promise<void> gate;
        ThreadedDriver d(std::make_unique<Stuck>(gate.get_future().share()), MarginMs);
        const int ud = d.ibdev(0, 3, 0, Timeout30ms, 1, 0);
        QElapsedTimer clock;
        clock.start();
        char buffer[16] = "untouched";
        QCOMPARE(d.ibrd(ud, buffer, sizeof buffer), ERR | TIMO);
        QCOMPARE(d.iberr(), EABO);
        QVERIFY2(clock.elapsed() >= MarginMs && clock.elapsed() < 3000,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(QByteArray(buffer), QByteArray("untouched"));
        clock.restart();
        QCOMPARE(d.ibwrt(ud, "X", 1), ERR);
        QCOMPARE(d.iberr(), EDVR);
        QVERIFY(clock.elapsed() < MarginMs);
        gate.set_value();
        QTRY_COMPARE(d.ibwrt(ud, "X", 1), CMPL);
        // Headway keeps a long transfer going past its timeout and the margin.
        QCOMPARE(d.ibwrtf(ud, "/dev/null"), CMPL);
        QCOMPARE(d.ibcntl(), 1234L);
    }

    // The program quits although the driver never returns from a call.
    void quitPastStuckWorker() {
        std::promise<void> gate;
        QElapsedTimer clock;
        {
            ThreadedDriver d(std::make_unique<Stuck>(gate.get_future().share()), MarginMs);
            char buffer[4];
            d.ibrd(d.ibdev(0, 3, 0, Timeout30ms, 1, 0), buffer, sizeof buffer);
            clock.start();
        }
        QVERIFY(clock.elapsed() < 5000);
        gate.set_value(); // the worker left behind ends now
    }
};

QTEST_MAIN(TestLinuxGpib)
#include "tst_linuxgpib.moc"
