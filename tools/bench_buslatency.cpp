// Measures how quickly the window thread handles events while a bus read blocks for 10 s on
// the worker thread: another thread posts an event every 20 ms and the window thread notes how
// long each took to be handled; a 5 ms timer notes how late each tick fires.
// Usage: bench_buslatency [libgpib.so.0 to read through | vxi11 | raw (through a fake LAN host);
//                         the bench behind the worker without]
#include "FakeLan.h"
#include "TestBench.h"
#include "bus/LinuxGpib.h"
#include "bus/SimBench.h"
#include "bus/ThreadedDriver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

void Report(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%s: none\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("%s: %zu samples, mean %.2f ms, 99th percentile %.2f ms, worst %.2f ms\n", what,
                ms.size(), sum / double(ms.size()), ms[ms.size() * 99 / 100], ms.back());
}

// Runs what keeps the window thread busy while measuring its event handling.
void Measure(const char* what, const std::function<void()>& occupy) {
    QElapsedTimer clock;
    clock.start();
    std::vector<double> handled, late;
    std::atomic<bool> running{true};
    QObject receiver;
    std::thread poster([&] {
        while (running) {
            const qint64 sent = clock.nsecsElapsed();
            QMetaObject::invokeMethod(
                &receiver,
                [&, sent] { handled.push_back(double(clock.nsecsElapsed() - sent) / 1e6); },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    qint64 last = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last) late.push_back(std::max(0.0, double(now - last) / 1e6 - 5.0));
        last = now;
    });
    tick.start(5);
    occupy();
    running = false;
    poster.join();
    std::printf("%s:\n", what);
    Report("  posted event handled after", handled);
    Report("  5 ms timer tick late by", late);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // A silent instrument: the read ends by its 10 s timeout, as a real one would.
    const QByteArray bench =
        R"({ "timeout_scale": 1, "instruments": [ { "address": 3, "replies": { "X?": null } } ] })";
    QString error;
    std::unique_ptr<gpib::Driver> inner;
    QTemporaryDir folder;
    std::unique_ptr<gpib::SimBus> behind;
    std::unique_ptr<FakeLan> lan;
    std::unique_ptr<gpib::Driver> threaded;
    const QByteArray through = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (through == "vxi11" || through == "raw") {
        behind = gpib::SimBus::fromJson(bench, &error);
        if (!behind) return 1;
        const QList<int> pads = through == "raw" ? QList<int>{3} : QList<int>{};
        lan = std::make_unique<FakeLan>(*behind, 1.0, pads);
        threaded = OverLan(*lan, through == "raw", pads, 1.0, &error);
    } else if (argc > 1) {
        QFile f(folder.filePath("bench.json"));
        if (!f.open(QIODevice::WriteOnly) || f.write(bench) != bench.size()) return 1;
        f.close();
        qputenv("SEQUOR_STANDIN_BENCH", f.fileName().toLocal8Bit());
        inner = gpib::LinuxGpib::open(argv[1], 0, &error);
    } else {
        inner = gpib::SimBus::fromJson(bench, &error);
    }
    if (!inner && !threaded) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (!threaded) threaded = std::make_unique<gpib::ThreadedDriver>(std::move(inner));
    gpib::Driver& bus = *threaded;
    const int ud = bus.ibdev(0, 3, 0, 13, 1, 0); // 10 s
    bus.ibwrt(ud, "X?", 2);

    // The same measurement once with the window thread idle in its event loop, for comparison,
    // then during the read.
    Measure("idle event loop, 10 s", [&] {
        QTimer::singleShot(10000, &app, &QCoreApplication::quit);
        app.exec();
    });
    Measure("during the read", [&] {
        char buffer[512];
        QElapsedTimer clock;
        clock.start();
        const int sta = bus.ibrd(ud, buffer, sizeof buffer);
        std::printf("read %s after %.2f s (%s)\n", (sta & gpib::TIMO) ? "timed out" : "ended",
                    double(clock.nsecsElapsed()) / 1e9,
                    argc > 1 ? argv[1] : "bench behind the worker");
    });
    return 0;
}
