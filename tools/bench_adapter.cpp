// Measures what the listener search costs through a GPIB adapter: a plain Prologix must
// poll every address 1..30 in turn, an AR488 answers one ++fndl. Both run against fake
// adapters in front of the built-in bench (instruments at 3, 7, 9 and 12) at real speed.
// Usage: bench_adapter
#include "FakeAdapter.h"
#include "bus/ByteStream.h"
#include "bus/Prologix.h"
#include "bus/SimBench.h"
#include "bus/ThreadedDriver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    for (const auto kind : {FakeAdapter::Kind::Prologix, FakeAdapter::Kind::Ar488}) {
        auto bench = gpib::SimBus::builtIn();
        FakeAdapter fake(*bench, kind, FakeAdapter::Transport::Pty);
        const QString target = fake.target();
        auto adapter = std::make_unique<gpib::Prologix>(
            [target] { return gpib::SerialStream(target); }, target);
        gpib::Prologix* raw = adapter.get();
        gpib::ThreadedDriver bus(std::move(adapter));
        QString error;
        if (!bus.call([&](gpib::Driver&) { return raw->start(&error) ? 1 : 0; })) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        gpib::Addr4882_t pads[32], found[15] = {};
        for (int i = 0; i <= 30; ++i)
            pads[i] = gpib::Addr4882_t(i);
        pads[31] = gpib::NOADDR;
        QElapsedTimer clock;
        clock.start();
        bus.FindLstn(0, pads, found, 15);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        QByteArrayList list;
        for (long i = 1; i < bus.ibcntl(); ++i)
            list << QByteArray::number(found[i]);
        std::printf("%s: listener search of 1..30 took %.2f s, found %s\n",
                    kind == FakeAdapter::Kind::Ar488 ? "AR488 (++fndl all)"
                                                     : "Prologix (one ++spoll per address)",
                    seconds, list.join(',').constData());
    }
    return 0;
}
