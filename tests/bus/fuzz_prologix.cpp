// Feeds arbitrary bytes as everything an adapter says, through start-up, a read, a serial
// poll, a listener search and a wait for a service request. Input: the first byte chooses
// the size of the pieces the bytes arrive in and whether the adapter repeats them for ever;
// the rest is what it says. No input may crash the client, hang it, or make it hold more
// than its answer limit.
#include "bus/Prologix.h"

#include <cstdlib>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

class Scripted : public gpib::ByteStream {
public:
    Scripted(QByteArray said, int piece, bool endless)
        : said_(std::move(said)), piece_(piece), endless_(endless) {}
    bool open(QString*) override { return true; }
    bool write(const QByteArray& bytes) override {
        written_ += bytes.size();
        return true;
    }
    QByteArray read(int) override {
        if (at_ >= said_.size() && endless_ && !said_.isEmpty()) at_ = 0;
        const QByteArray out = said_.mid(at_, piece_);
        at_ += out.size();
        return out; // empty: the time passed in silence
    }
    bool broken() const override { return false; }
    qint64 written_ = 0;

private:
    QByteArray said_;
    qsizetype at_ = 0;
    int piece_;
    bool endless_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int piece = 1 + (data[0] & 0x3F);
    const bool endless = data[0] & 0x80;
    const QByteArray said(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    gpib::Prologix::Options options;
    options.versionDeadlineMs = 200;
    options.adapterReadMs = 50;
    options.scanPollMs = 20;
    options.timeoutScale = 0.01;
    options.maxAnswer = 4 << 10;
    Scripted* stream = nullptr;
    gpib::Prologix adapter(
        [&] {
            auto s = std::make_unique<Scripted>(said, piece, endless);
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
    Check(stream && stream->written_ < 64 << 10);
    return 0;
}
