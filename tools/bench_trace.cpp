// What the bus trace costs per driver call: the same calls (a 6-byte write and a 20-byte read,
// as a query makes them) straight to a driver that answers at once, through the trace layer
// while it is off, and through it while it writes every line to a file. The figures are
// nanoseconds per call, and the ratio of the traced call to the untraced one over the bench.
// The effect on a whole run: bench_run with SEQUOR_TRACE set against bench_run without.
// Usage: bench_trace [calls, default 200000]
#include "StubDriver.h"
#include "bus/BusTrace.h"
#include "bus/SimBench.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

namespace {

class Instant : public StubDriver {
public:
    int ibrd(int, void* buf, long count) override {
        static const char answer[] = "+1.00000E+01VDC\r\n\0\xFF";
        const long n = std::min<long>(count, sizeof answer - 1);
        std::memcpy(buf, answer, size_t(n));
        return setStatus(gpib::END | gpib::CMPL, 0, n);
    }
};

// Nanoseconds per call of a write and a read on the driver.
double PerCall(gpib::Driver& d, int ud, int pairs) {
    char buffer[512];
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < pairs; ++i) {
        d.ibwrt(ud, "MEAS?\n", 6);
        d.ibrd(ud, buffer, sizeof buffer);
    }
    return double(clock.nsecsElapsed()) / (2.0 * pairs);
}

void Measure(const char* name, gpib::Driver& inner, int ud, int pairs, const QString& file) {
    gpib::TracedDriver layer(inner);
    layer.ibpad(ud, 3);
    PerCall(inner, ud, pairs / 10); // warm up
    const double direct = PerCall(inner, ud, pairs);
    const double off = PerCall(layer, ud, pairs);
    QString error;
    if (!layer.start(file, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }
    const double on = PerCall(layer, ud, pairs);
    layer.stop();
    std::printf("%s: direct %.0f ns/call, layer off %.0f ns (+%.0f), trace on %.0f ns (+%.0f), "
                "traced/untraced %.2f; %lld bytes of trace per call\n",
                name, direct, off, off - direct, on, on - direct, on / direct,
                QFileInfo(file).size() / (2LL * pairs));
    QFile::remove(file);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(1000, atoi(argv[1])) / 2 : 100000;
    QTemporaryDir dir;
    Instant instant;
    Measure("instant driver", instant, instant.ibdev(0, 3, 0, 13, 1, 0), pairs,
            dir.filePath("instant.txt"));
    QString error;
    auto bench = gpib::SimBus::fromJson(
        R"({ "timeout_scale": 0.001, "instruments": [ { "address": 3,
             "replies": { "MEAS?": "+1.00000E+01VDC" } } ] })",
        &error);
    if (!bench) return 1;
    Measure("simulated bench", *bench, bench->ibdev(0, 3, 0, 13, 1, 0), pairs / 10,
            dir.filePath("bench.txt"));
    return 0;
}
