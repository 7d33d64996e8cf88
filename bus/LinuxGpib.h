#pragma once
// The linux-gpib library, loaded at run time: Debian does not package it, so the program must
// start (and offer the simulated bench) where it is missing. Board 0 of the program's calls is
// the board chosen here.
#include "bus/GpibDriver.h"
#include <QString>
#include <memory>

namespace gpib {

constexpr const char* LinuxGpibLibrary = "libgpib.so.0";

class LinuxGpib : public Driver {
public:
    // Loads the library (a name the dynamic loader searches for, or a path) and checks that the
    // board answers. On failure returns null and sets error to the text the user is shown.
    static std::unique_ptr<LinuxGpib> open(const QString& library, int board, QString* error);
    ~LinuxGpib() override;

    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
    int ibpad(int ud, int pad) override;
    int ibwrt(int ud, const void* buf, long count) override;
    int ibrd(int ud, void* buf, long count) override;
    int ibwait(int ud, int mask) override;
    int ibask(int ud, int option, int* value) override;
    int ibtmo(int ud, int v) override;
    int ibrsp(int ud, char* spr) override;
    int ibclr(int ud) override;
    int ibsre(int ud, int v) override;
    int ibrdf(int ud, const char* fileName) override;
    int ibwrtf(int ud, const char* fileName) override;
    void SendIFC(int board) override;
    void FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList, int limit) override;
    void DevClear(int board, Addr4882_t address) override;

    struct Api;

private:
    LinuxGpib();
    int board(int programBoard) const;
    int fail(int err);
    int status();

    std::unique_ptr<Api> api_;
    int board_ = 0;
};

} // namespace gpib
