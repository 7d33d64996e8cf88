#include "bus/GpibDriver.h"
#include <array>

namespace gpib {

double TimeoutSeconds(int code) {
    static constexpr std::array<double, 18> seconds = {-1,   10e-6, 30e-6, 100e-6, 300e-6, 1e-3,
                                                       3e-3, 10e-3, 30e-3, 0.1,    0.3,    1,
                                                       3,    10,    30,    100,    300,    1000};
    if (code < 0 || code >= static_cast<int>(seconds.size())) return -1;
    return seconds[code];
}

namespace {

// Stands in while no back-end is installed, so that a stray call fails like a missing
// board instead of crashing the program.
class NoDriver : public Driver {
public:
    int ibdev(int, int, int, int, int, int) override {
        fail();
        return -1;
    }
    int ibpad(int, int) override { return fail(); }
    int ibwrt(int, const void*, long) override { return fail(); }
    int ibrd(int, void*, long) override { return fail(); }
    int ibwait(int, int) override { return fail(); }
    int ibask(int, int, int*) override { return fail(); }
    int ibtmo(int, int) override { return fail(); }
    int ibrsp(int, char*) override { return fail(); }
    int ibclr(int) override { return fail(); }
    int ibsre(int, int) override { return fail(); }
    int ibrdf(int, const char*) override { return fail(); }
    int ibwrtf(int, const char*) override { return fail(); }
    void SendIFC(int) override { fail(); }
    void FindLstn(int, const Addr4882_t*, Addr4882_t*, int) override { fail(); }
    void DevClear(int, Addr4882_t) override { fail(); }

private:
    int fail() { return setStatus(ERR, ENEB, 0); }
};

NoDriver noDriver;
Driver* current = &noDriver;

} // namespace

Driver& Bus() {
    return *current;
}

void SetBus(Driver* driver) {
    current = driver ? driver : &noDriver;
}

} // namespace gpib
