#pragma once
// Which back-end the program talks through. The driver interface knows none of them; this is
// the one place that does, so a new back-end is one more entry here.
#include "bus/GpibDriver.h"
#include <QString>
#include <memory>

namespace gpib {

// Chooses the back-end from SEQUOR_BUS: "sim" is the built-in bench, "sim:<path>" a bench
// file. Without it the real driver is wanted. On failure returns null and sets error to the
// text the user is shown.
std::unique_ptr<Driver> CreateDriverFromEnvironment(QString* error);

} // namespace gpib
