#include "bus/Selection.h"

std::int16_t SelectedButton = 0;
std::array<std::int16_t, 15> SyntaxMethod{};
