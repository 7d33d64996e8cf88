// Feeds arbitrary bytes as a bench file. No input may crash the reader, every refused file
// gets a message that names the file, and every accepted bench holds instruments the bus can
// address, each once.
#include "bus/SimInstrument.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <unistd.h>

static void Check(bool ok) {
    if (!ok) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path =
        QString("%1/fuzz_bench_%2.json").arg(QDir::tempPath()).arg(getpid());
    QFile f(path);
    Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
          f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    f.close();
    QString error;
    const auto bus = gpib::SimBus::fromFile(path, &error);
    Check(bus ? error.isEmpty() : error.startsWith("Bench file " + path + ": "));
    if (!bus) return 0;
    gpib::Addr4882_t pads[32], found[32] = {};
    for (int i = 0; i <= 30; ++i)
        pads[i] = gpib::Addr4882_t(i);
    pads[31] = gpib::NOADDR;
    bus->FindLstn(0, pads, found, 32);
    Check(!(bus->ibsta() & gpib::ERR) || bus->iberr() == gpib::EBUS);
    for (long i = 1; !(bus->ibsta() & gpib::ERR) && i < bus->ibcntl(); ++i)
        Check(found[i] >= 1 && found[i] <= 30 && found[i] > found[i - 1]);
    return 0;
}
