// Measures the listener search through a fake VXI-11 gateway over the simulated bench: two
// instruments among the addresses 1 to 30, so 28 silent addresses that each cost at most the
// search's serial poll timeout. Prints the time against that floor.
// Usage: bench_lansearch [poll timeout in ms, default the program's 300]
#include "FakeLan.h"
#include "bus/LanBus.h"
#include "bus/SimBench.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QString error;
    auto bench = gpib::SimBus::fromJson(R"({ "timeout_scale": 1, "instruments": [
        { "address": 3, "replies": { "*IDN?": "A" } },
        { "address": 7, "replies": { "*IDN?": "B" } } ] })",
                                        &error);
    if (!bench) return 1;
    FakeLan fake(*bench, 1.0);
    gpib::LanBus::Options options;
    if (argc > 1) options.scanPollMs = std::atoi(argv[1]);
    gpib::LanBus lan(gpib::LanBus::Gateway("127.0.0.1", fake.portmapperPort(), "gpib0"), options);
    if (!lan.start("127.0.0.1", fake.portmapperPort(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    gpib::Addr4882_t all[31], found[32];
    for (int a = 1; a <= 30; ++a)
        all[a - 1] = gpib::Addr4882_t(a);
    all[30] = gpib::NOADDR;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer clock;
        clock.start();
        lan.FindLstn(0, all, found, 32);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const double floor = 28 * options.scanPollMs / 1000.0;
        std::printf("search %d: %ld found (with the board), %.3f s; floor 28 x %d ms = %.3f s; "
                    "ratio %.3f\n",
                    round + 1, lan.ibcntl(), seconds, options.scanPollMs, floor, seconds / floor);
    }
    return 0;
}
