#pragma once
// A driver whose every call succeeds at once and does nothing, for tests that need one call
// to misbehave: they override that call.
#include "bus/GpibDriver.h"

class StubDriver : public gpib::Driver {
public:
    int ibdev(int, int, int, int, int, int) override {
        ok();
        return 1;
    }
    int ibpad(int, int) override { return ok(); }
    int ibwrt(int, const void*, long count) override { return ok(count); }
    int ibrd(int, void*, long) override { return setStatus(gpib::END | gpib::CMPL, 0, 0); }
    int ibwait(int, int) override { return ok(); }
    int ibask(int, int, int*) override { return ok(); }
    int ibtmo(int, int) override { return ok(); }
    int ibrsp(int, char*) override { return ok(); }
    int ibclr(int) override { return ok(); }
    int ibsre(int, int) override { return ok(); }
    int ibrdf(int, const char*) override { return ok(); }
    int ibwrtf(int, const char*) override { return ok(); }
    void SendIFC(int) override { ok(); }
    void FindLstn(int, const gpib::Addr4882_t*, gpib::Addr4882_t*, int) override { ok(); }
    void DevClear(int, gpib::Addr4882_t) override { ok(); }

protected:
    int ok(long cntl = 0) { return setStatus(gpib::CMPL, 0, cntl); }
};
