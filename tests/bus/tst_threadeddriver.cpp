// The worker thread's bounds: a driver call that never returns is given up as a failed bus,
// a slow call that makes headway is not, and the program can quit past a stuck worker.
#include "StubDriver.h"
#include "bus/ThreadedDriver.h"
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <future>
#include <thread>

using namespace gpib;

namespace {

// ibrd hangs until the gate opens (a stuck kernel driver); ibwrtf takes 400 ms in steps,
// reporting headway after each. The gate is shared: a worker left behind may outlive the test.
class Stuck : public StubDriver {
public:
    explicit Stuck(std::shared_future<void> gate) : gate_(std::move(gate)) {}
    int ibrd(int, void*, long) override {
        gate_.wait();
        return ok();
    }
    int ibwrtf(int, const char*) override {
        for (int step = 0; step < 10; ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            progressed();
        }
        return ok(1234);
    }

private:
    std::shared_future<void> gate_;
};

constexpr int MarginMs = 200;
constexpr int Timeout30ms = 7;

} // namespace

class TestThreadedDriver : public QObject {
    Q_OBJECT

private slots:
    // A read that never returns fails as a timeout past its 30 ms and the margin, while the
    // window thread goes on; later calls fail at once until the driver returns, then work.
    // A slow call that makes headway is not given up.
    void stuckCall() {
        std::promise<void> gate;
        ThreadedDriver d(std::make_unique<Stuck>(gate.get_future().share()), MarginMs);
        const int ud = d.ibdev(0, 3, 0, Timeout30ms, 1, 0);
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(20);
        QElapsedTimer clock;
        clock.start();
        char buffer[16] = "untouched";
        QCOMPARE(d.ibrd(ud, buffer, sizeof buffer), ERR | TIMO);
        QCOMPARE(d.iberr(), EABO);
        QVERIFY2(clock.elapsed() >= MarginMs && clock.elapsed() < 3000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(ticks >= 5);
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

QTEST_MAIN(TestThreadedDriver)
#include "tst_threadeddriver.moc"
