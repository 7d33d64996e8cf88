#pragma once
// The terminal's device selection, program-wide so that it outlives the terminal window.
#include <array>
#include <cstdint>

// 1-based number of the selected address button (1..14); 0 until a button is chosen.
extern std::int16_t SelectedButton;
// Syntax check per address button, indexed by SelectedButton: 0 none, 1 status registers,
// -1 serial poll.
extern std::array<std::int16_t, 15> SyntaxMethod;
