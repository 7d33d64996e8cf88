// Feeds arbitrary bytes as everything an adapter says, through start-up, a read and a read
// into a file. Input: the first byte chooses the size of the pieces the bytes arrive in and
// whether the adapter answers ++ver; the rest is what it says. No input may crash the client,
// hang it, or make it hold more than its limits. Time is scripted: every input runs at
// processor speed.
#include "ScriptedStream.h"
#include "bus/Prologix.h"

#include <cstdlib>

static void Check(bool ok) {
    if (!ok) std::abort(); // a crash the fuzzer records, with the line in its stack
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int piece = 1 + (data[0] & 0x3F);
    const QByteArray said(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    ScriptedClock clock;
    gpib::Prologix::Options options;
    options.clock = &clock;
    options.maxAnswer = 1 << 10;
    options.maxFileAnswer = 2 << 10;
    gpib::Prologix adapter(
        [&] {
            auto s = std::make_unique<ScriptedStream>(clock);
            for (qsizetype i = 0; i < said.size(); i += piece)
                s->say(0, said.mid(i, piece));
            if (data[0] & 0x40) s->version = "Prologix GPIB-USB Controller version 6.107";
            return s;
        },
        "fuzz", options);
    QString error;
    if (!adapter.start(&error)) {
        Check(!error.isEmpty());
        return 0;
    }
    Check(!adapter.version().isEmpty() && adapter.version().size() <= 256);
    const int ud = adapter.ibdev(0, 3, 0, 11, 1, 0);
    adapter.ibwrt(ud, "X?\n", 3);
    long total = 0;
    char buffer[512];
    for (int sta = 0; !(sta & (gpib::ERR | gpib::END));) {
        sta = adapter.ibrd(ud, buffer, sizeof buffer);
        Check(adapter.ibcntl() >= 0 && adapter.ibcntl() <= long(sizeof buffer));
        total += (sta & gpib::ERR) ? 0 : adapter.ibcntl();
        Check(total <= options.maxAnswer);
    }
    adapter.ibrdf(ud, "/dev/null");
    Check(adapter.ibcntl() >= 0 && adapter.ibcntl() <= options.maxFileAnswer);
    return 0;
}
