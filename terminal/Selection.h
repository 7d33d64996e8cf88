#pragma once
// The terminal's device selection. It outlives each terminal window: the main window keeps it
// and hands it to every opening.
#include <array>
#include <cstdint>

namespace term {

struct Selection {
    // 1-based number of the selected address button (1..14); 0 until a button is chosen.
    std::int16_t SelectedButton = 0;
    // Syntax check per address button, indexed by SelectedButton: 0 none, 1 status registers,
    // -1 serial poll.
    std::array<std::int16_t, 15> SyntaxMethod{};
};

} // namespace term
