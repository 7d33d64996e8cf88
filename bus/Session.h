#pragma once
// The bus the program talks through while it runs: the driver of the chosen back-end, with
// the trace layer around it, and whether a window's call on it is under way. The program's
// entry makes it and hands it down to the windows that talk on the bus; a test makes a fresh
// one on its bench.
#include "bus/BusActivity.h"
#include "bus/BusTrace.h"

namespace gpib {
class Driver;
}

namespace bus {

class Session {
public:
    // The back-end stays the caller's and must outlive the session.
    explicit Session(gpib::Driver& backEnd);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Every call goes through the trace layer, which records it while a trace is on.
    gpib::Driver& driver() { return traced_; }
    gpib::TracedDriver& trace() { return traced_; }
    gpib::BusActivity& activity() { return activity_; }

private:
    gpib::TracedDriver traced_;
    gpib::BusActivity activity_;
};

} // namespace bus
