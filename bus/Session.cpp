#include "bus/Session.h"
#include "bus/GpibDriver.h"

namespace bus {

Session::Session(gpib::Driver& backEnd) : traced_(backEnd) {
    traced_.reportCallsTo(&activity_);
}

Session::~Session() {
    traced_.reportCallsTo(nullptr);
}

} // namespace bus
