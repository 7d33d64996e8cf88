#include "bus/Discovery.h"
#include "bus/BusAccess.h"
#include "bus/GpibDriver.h"
#include "platform/Platform.h"
#include <cstdint>

std::array<std::int16_t, 15> ListenerList{};

namespace {
std::int16_t OpenedUd = 0; // the one descriptor, opened on the first FindDevice
constexpr int ListLimit = 15;
} // namespace

void ResetDevice() {
    OpenedUd = 0;
}

void FindListeners() {
    ListenerList.fill(0);
    gpib::Addr4882_t addresses[32];
    for (int i = 0; i <= 30; ++i)
        addresses[i] = gpib::Addr4882_t(i);
    addresses[31] = gpib::NOADDR;

    gpib::Driver& bus = gpib::Bus();
    bus.SendIFC(0);
    bus.ibsre(0, 1);
    gpib::Addr4882_t result[ListLimit] = {};
    bus.FindLstn(0, addresses, result, ListLimit);

    if (!(bus.ibsta() & gpib::ERR)) {
        std::int16_t count = 0;
        for (int i = 1; i < ListLimit && result[i] != 0; ++i) {
            ListenerList[i] = std::int16_t(result[i]);
            ++count;
        }
        ListenerList[0] = count;
        return;
    }

    const int err = bus.iberr();
    QString text;
    if (err == gpib::EBUS)
        text = "No listeners found.";
    else if (err == gpib::ETAB)
        text = "Too many listeners found.\nMax 14 listeners allowed.";
    text += "\n\nCorrect problem and restart.";
    platform::MsgBox(QStringLiteral("Initialization Error %1").arg(err), text,
                     platform::Buttons::Ok, platform::Icon::Critical);
    platform::Sys().endProgram(1);
}

std::int16_t FindDevice() {
    gpib::Driver& bus = gpib::Bus();
    if (OpenedUd == 0) {
        const int ud = bus.ibdev(0, 1, 0, 11, 1, 0);
        // A descriptor the driver refused (-1) is none at all; calls on it would reach the
        // board or fail one by one.
        if (ud <= 0 || ud > INT16_MAX) DeviceNotConfigured();
        OpenedUd = std::int16_t(ud);
    }
    const int count = ListenerList[0];
    for (int i = 1; i <= count; ++i) {
        char poll = 0;
        bus.ibpad(OpenedUd, ListenerList[i]);
        bus.ibrsp(OpenedUd, &poll); // clears a pending service request; the byte is unused
    }
    bus.ibpad(OpenedUd, ListenerList[1]);
    bus.ibtmo(OpenedUd, IoTimeout);
    CheckGpibError();
    return OpenedUd;
}

bool IsListener(std::int16_t address) {
    const int count = ListenerList[0];
    for (int i = 1; i <= count && i < int(ListenerList.size()); ++i)
        if (ListenerList[i] == address) return true;
    return false;
}
