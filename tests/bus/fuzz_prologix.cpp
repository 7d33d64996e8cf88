// Feeds arbitrary bytes as everything an adapter says, through start-up, a read, a read into
// a file, a serial poll, a listener search and a wait for a service request. Input: the first
// byte chooses the size of the pieces the bytes arrive in, whether the adapter repeats them
// for ever and whether it answers ++ver; the rest is what it says. No input may crash the
// client, hang it, or make it hold more than its limits. Time is scripted: deadlines cost no
// real time, so every input runs at processor speed.
#include "ScriptedStream.h"
#include "bus/Prologix.h"

#include <cstdlib>

namespace {

void Check(bool ok) {
    if (!ok) std::abort(); // a crash the fuzzer records, with the line in its stack
}

// Says the input in pieces. An endless one then says it again whenever it fell silent, a
// millisecond later, as one piece of at least 256 bytes: the pieces' edges are tried on the
// first time through.
class Fuzzed : public ScriptedStream {
public:
    Fuzzed(ScriptedClock& clock, const QByteArray& said, int piece, bool endless)
        : ScriptedStream(clock), clock_(clock) {
        for (qsizetype i = 0; i < said.size(); i += piece)
            say(0, said.mid(i, piece));
        while (endless && !said.isEmpty() && again_.size() < 256)
            again_ += said;
    }
    QByteArray read(int timeoutMs) override {
        if (!again_.isEmpty() && quiet()) say(clock_.now + 1, again_);
        return ScriptedStream::read(timeoutMs);
    }

private:
    ScriptedClock& clock_;
    QByteArray again_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int piece = 1 + (data[0] & 0x3F);
    const bool endless = data[0] & 0x80;
    const bool answersVersion = data[0] & 0x40;
    const QByteArray said(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    ScriptedClock clock;
    gpib::Prologix::Options options;
    options.clock = &clock;
    options.maxAnswer = 1 << 10;
    options.maxFileAnswer = 2 << 10;
    Fuzzed* stream = nullptr;
    gpib::Prologix adapter(
        [&] {
            auto s = std::make_unique<Fuzzed>(clock, said, piece, endless);
            if (answersVersion) s->version = "Prologix GPIB-USB Controller version 6.107";
            stream = s.get();
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
    Check(ud > 0);
    adapter.ibwrt(ud, "X?\n", 3);
    long total = 0;
    char buffer[512];
    for (int chunk = 0; chunk < 1000; ++chunk) {
        const int sta = adapter.ibrd(ud, buffer, sizeof buffer);
        if (sta & gpib::ERR) break;
        Check(adapter.ibcntl() >= 0 && adapter.ibcntl() <= long(sizeof buffer));
        total += adapter.ibcntl();
        if (sta & gpib::END) break;
    }
    Check(total <= options.maxAnswer);
    adapter.ibwrt(ud, "Y?\n", 3);
    adapter.ibrdf(ud, "/dev/null");
    Check(adapter.ibcntl() >= 0 && adapter.ibcntl() <= options.maxFileAnswer);
    char poll = 0;
    adapter.ibrsp(ud, &poll);
    gpib::Addr4882_t pads[32], found[15] = {};
    for (int i = 0; i <= 30; ++i)
        pads[i] = gpib::Addr4882_t(i);
    pads[31] = gpib::NOADDR;
    adapter.FindLstn(0, pads, found, 15);
    if (!(adapter.ibsta() & gpib::ERR)) {
        Check(found[0] == 0 && adapter.ibcntl() >= 2 && adapter.ibcntl() <= 15);
        for (long i = 1; i < adapter.ibcntl(); ++i)
            Check(found[i] >= 1 && found[i] <= 30 && (i == 1 || found[i] > found[i - 1]));
    }
    adapter.ibtmo(ud, 9);
    adapter.ibwait(ud, gpib::TIMO | gpib::RQS);
    // What the client sent stays in proportion: commands, never an echo of what it heard.
    Check(stream && stream->writtenCount < 64 << 10);
    return 0;
}
