// Feeds arbitrary bytes as a bench file. No input may crash the reader, every refused file
// gets a message that names the file and says what is wrong, and every accepted bench holds
// instruments the bus can address.
#include "bus/SimInstrument.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <unistd.h>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path =
        QString("%1/fuzz_bench_%2.json").arg(QDir::tempPath()).arg(getpid());
    {
        QFile f(path);
        Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    }
    const QString untouched = "untouched";
    QString error = untouched;
    const auto bus = gpib::SimBus::fromFile(path, &error);
    if (!bus) {
        const QString prefix = "Bench file " + path + ": ";
        Check(error.startsWith(prefix) && error.size() > prefix.size());
        return 0;
    }
    Check(error == untouched);
    Check(bus->timeoutScale() >= 0);
    // Every instrument must be on an address 1..30, once, and answer a listener search.
    gpib::Addr4882_t pads[32], found[32] = {};
    for (int i = 0; i <= 30; ++i)
        pads[i] = gpib::Addr4882_t(i);
    pads[31] = gpib::NOADDR;
    bus->FindLstn(0, pads, found, 32);
    if (bus->ibsta() & gpib::ERR) {
        Check(bus->iberr() == gpib::EBUS);
        return 0;
    }
    Check(found[0] == 0 && bus->ibcntl() >= 2 && bus->ibcntl() <= 31);
    for (long i = 1; i < bus->ibcntl(); ++i)
        Check(found[i] >= 1 && found[i] <= 30 && found[i] > found[i - 1]);
    return 0;
}
