#include "bus/Listeners.h"
#include "bus/GpibDriver.h"

namespace bus {

namespace {
constexpr int ListLimit = 15;
} // namespace

Error Listeners::find(gpib::Driver& bus) {
    ListenerList.fill(0);
    gpib::Addr4882_t addresses[32];
    for (int i = 0; i <= 30; ++i)
        addresses[i] = gpib::Addr4882_t(i);
    addresses[31] = gpib::NOADDR;

    bus.SendIFC(0);
    bus.ibsre(0, 1);
    gpib::Addr4882_t result[ListLimit] = {};
    bus.FindLstn(0, addresses, result, ListLimit);
    if (bus.ibsta() & gpib::ERR) return {Error::Kind::Discovery, bus.iberr()};

    std::int16_t count = 0;
    for (int i = 1; i < ListLimit && result[i] != 0; ++i) {
        ListenerList[i] = std::int16_t(result[i]);
        ++count;
    }
    ListenerList[0] = count;
    return {};
}

bool Listeners::contains(int address) const {
    const int count = ListenerList[0];
    for (int i = 1; i <= count && i < int(ListenerList.size()); ++i)
        if (ListenerList[i] == address) return true;
    return false;
}

} // namespace bus
