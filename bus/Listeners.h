#pragma once
// The instruments listening on the bus, as the last search found them.
#include "bus/BusError.h"
#include <array>
#include <cstdint>

namespace gpib {
class Driver;
}

namespace bus {

class Listeners {
public:
    // FindListeners: interface clear, remote enable, then the search over addresses 0 to 30.
    // A failed search leaves the list empty and says why (Discovery, with iberr).
    Error find(gpib::Driver& driver);

    int count() const { return ListenerList[0]; }
    // The address of listener i, 1 to count (ascending); 0 outside the list.
    std::int16_t at(int i) const { return i >= 1 && i <= count() ? ListenerList[i] : 0; }
    // IsListener.
    bool contains(int address) const;
    // Entry 0: the number of instruments (0..14); entries 1..count: their addresses, ascending.
    const std::array<std::int16_t, 15>& list() const { return ListenerList; }

private:
    std::array<std::int16_t, 15> ListenerList{};
};

} // namespace bus
