#pragma once
// What went wrong on the bus, told in the windows' boxes. Which box, its words, and whether
// its answer ends the program are decided here; the bus code only says what happened.
#include "bus/BusError.h"

namespace ctl {

class BusErrorBoxes : public bus::ErrorPolicy {
public:
    // Shows the error's box (none for None and Stopped) and says whether the program is to end.
    bus::Next decide(const bus::Error& error) override;
};

// For the windows' handlers: the error's box, and the program ends at once where the box says
// so, without its closing steps. True when nothing went wrong.
bool ShowBusError(const bus::Error& error);
// The reply's answer after its error's box: empty after a failure.
QByteArray AnswerOf(const bus::Reply& reply);

} // namespace ctl
