#pragma once
// The bus the program talks through while it runs: the driver of the chosen back-end, and
// whether a window's call on it is under way. The program's entry makes it and hands it down
// to the windows that talk on the bus; a test makes a fresh one on its bench.
#include "bus/BusActivity.h"

namespace gpib {
class Driver;
}

namespace bus {

class Session {
public:
    // The driver stays the caller's and must outlive the session.
    explicit Session(gpib::Driver& driver);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    gpib::Driver& driver() { return driver_; }
    gpib::BusActivity& activity() { return activity_; }

private:
    gpib::Driver& driver_;
    gpib::BusActivity activity_;
};

} // namespace bus
