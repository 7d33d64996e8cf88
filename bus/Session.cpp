#include "bus/Session.h"
#include "bus/GpibDriver.h"

namespace bus {

Session::Session(gpib::Driver& driver) : driver_(driver) {
    driver_.reportCallsTo(&activity_);
}

Session::~Session() {
    driver_.reportCallsTo(nullptr);
}

} // namespace bus
