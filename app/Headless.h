#pragma once
// A saved settings set run without a window: QCoreApplication only, so it works over SSH.
#include "common/CommandLine.h"

#include <functional>

struct RunSettings;

// Returns the exit status (cli::Exit). Needs a QCoreApplication. adjust, for benchmarks, may
// change the run's settings after the set has made them (an interval of 0 no set can hold).
int RunHeadless(const cli::CommandLine& line, const std::function<void(RunSettings&)>& adjust = {});
