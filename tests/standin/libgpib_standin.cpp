// A stand-in for linux-gpib's libgpib.so.0 over the simulated bench (SEQUOR_STANDIN_BENCH
// names a bench file, else the built-in one), so the library's loading, the worker thread and
// the status mapping run without a card. Where linux-gpib differs from the program's driver
// calls, it does too: board descriptors are board indices, device descriptors come after them,
// FindLstn reports no error when nobody listens, ibrdf appends to its file, and the status is
// kept per thread. It has board 0 only.
#include "bus/SimBench.h"
#include <QFile>
#include <mutex>
#include <vector>

using gpib::Addr4882_t;

namespace {

constexpr int FirstDevice = 16; // descriptors below are boards
thread_local int sta = 0, err = 0;
thread_local long cntl = 0;

std::unique_ptr<gpib::SimBus> bench;

gpib::SimBus& Bench() {
    static std::once_flag once;
    std::call_once(once, [] {
        const QString file = qEnvironmentVariable("SEQUOR_STANDIN_BENCH");
        QString error;
        bench = file.isEmpty() ? gpib::SimBus::builtIn() : gpib::SimBus::fromFile(file, &error);
        if (!bench) qFatal("stand-in bench: %s", qPrintable(error));
    });
    return *bench;
}

int Set(int s, int e, long c) {
    sta = s;
    err = e;
    cntl = c;
    return sta;
}

// The bench's status after its call, kept for this thread as linux-gpib keeps it.
int Take(int /*the call's status*/ = 0) {
    return Set(Bench().ibsta(), Bench().iberr(), Bench().ibcntl());
}

// The bench's descriptors start at 1.
int SimUd(int ud) {
    return ud - FirstDevice + 1;
}

} // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

// Not part of linux-gpib: lets a test put another bench behind the library. 0 on success,
// else the reader's message is copied into error.
EXPORT int standin_use_bench(const char* json, char* error, int errorSize) {
    QString message;
    auto next = gpib::SimBus::fromJson(json, &message);
    if (!next) {
        qstrncpy(error, message.toUtf8().constData(), size_t(errorSize));
        return -1;
    }
    Bench(); // the first bench is made once; this one replaces it
    bench = std::move(next);
    return 0;
}

EXPORT int ThreadIbsta() {
    return sta;
}
EXPORT int ThreadIberr() {
    return err;
}
EXPORT long ThreadIbcntl() {
    return cntl;
}

EXPORT int ibdev(int, int pad, int sad, int tmo, int eot, int eos) {
    const int ud = Bench().ibdev(0, pad, sad, tmo, eot, eos);
    Take();
    return ud < 0 ? ud : ud - 1 + FirstDevice;
}

EXPORT int ibpad(int ud, int pad) {
    return Take(Bench().ibpad(SimUd(ud), pad));
}

EXPORT int ibwrt(int ud, const void* buf, long count) {
    return Take(Bench().ibwrt(SimUd(ud), buf, count));
}

EXPORT int ibrd(int ud, void* buf, long count) {
    return Take(Bench().ibrd(SimUd(ud), buf, count));
}

EXPORT int ibwait(int ud, int mask) {
    return Take(Bench().ibwait(SimUd(ud), mask));
}

EXPORT int ibask(int ud, int option, int* value) {
    if (ud < FirstDevice) { // the program asks a board for its own primary address only
        *value = 0;
        return Set(gpib::CMPL, 0, 0);
    }
    return Take(Bench().ibask(SimUd(ud), option, value));
}

EXPORT int ibtmo(int ud, int v) {
    return Take(Bench().ibtmo(SimUd(ud), v));
}

EXPORT int ibrsp(int ud, char* spr) {
    return Take(Bench().ibrsp(SimUd(ud), spr));
}

EXPORT int ibclr(int ud) {
    return Take(Bench().ibclr(SimUd(ud)));
}

EXPORT int ibsre(int /*board: the stand-in has only board 0*/, int v) {
    return Take(Bench().ibsre(0, v));
}

EXPORT int ibrdf(int ud, const char* path) {
    const QString target = QString::fromLocal8Bit(path);
    const QString part = target + ".standin";
    if (Bench().ibrdf(SimUd(ud), part.toLocal8Bit().constData()) & gpib::ERR) return Take();
    QFile in(part), out(target);
    const bool ok = in.open(QIODevice::ReadOnly) &&
                    out.open(QIODevice::WriteOnly | QIODevice::Append) &&
                    out.write(in.readAll()) == in.size();
    in.remove();
    return ok ? Take() : Set(gpib::ERR, gpib::EFSO, 0);
}

EXPORT int ibwrtf(int ud, const char* path) {
    return Take(Bench().ibwrtf(SimUd(ud), path));
}

EXPORT void SendIFC(int board) {
    if (board != 0) { // the one board present
        Set(gpib::ERR, gpib::ENEB, 0);
        return;
    }
    Bench().SendIFC(0);
    Take();
}

EXPORT void FindLstn(int, const Addr4882_t* pads, Addr4882_t* results, int limit) {
    std::vector<Addr4882_t> found(32, 0);
    Bench().FindLstn(0, pads, found.data(), 32);
    if ((Bench().ibsta() & gpib::ERR) && Bench().iberr() == gpib::EBUS) {
        Set(gpib::CMPL, 0, 0);
        return;
    }
    const long n = std::max(0L, Bench().ibcntl() - 1); // the bench puts the board first
    const long kept = std::min<long>(n, limit);
    std::copy_n(found.begin() + 1, kept, results);
    Set(gpib::CMPL, 0, kept);
}

#ifndef STANDIN_WITHOUT_DEVCLEAR
EXPORT void DevClear(int, Addr4882_t address) {
    Bench().DevClear(0, address);
    Take();
}
#endif
