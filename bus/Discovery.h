#pragma once
// Finding the listeners on the bus and opening the shared descriptor.
#include <array>
#include <cstdint>

// Entry 0: number of instruments (0..14); entries 1..count: their addresses, ascending.
extern std::array<std::int16_t, 15> ListenerList;

void FindListeners();
std::int16_t FindDevice();
bool IsListener(std::int16_t address);
// Forgets the opened descriptor, so the next FindDevice opens a new one (tests, restarts).
void ResetDevice();
