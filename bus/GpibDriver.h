#pragma once
// The driver calls the program relies on, shaped like the NI-488.2 C API so that a real
// driver library maps onto it one to one. After every call the driver holds that call's
// ibsta, iberr and ibcntl.
#include <atomic>
#include <cstdint>
#include <vector>

namespace gpib {

class BusActivity;
using Addr4882_t = std::uint16_t;
constexpr Addr4882_t NOADDR = 0xFFFF;

// ibsta bits
constexpr int ERR = 0x8000;
constexpr int TIMO = 0x4000;
constexpr int END = 0x2000;
constexpr int SRQI = 0x1000;
constexpr int RQS = 0x0800;
constexpr int CMPL = 0x0100;

// iberr codes
constexpr int EDVR = 0;
constexpr int ECIC = 1;
constexpr int ENOL = 2;
constexpr int EADR = 3;
constexpr int EARG = 4;
constexpr int ESAC = 5;
constexpr int EABO = 6;
constexpr int ENEB = 7;
constexpr int EOIP = 10;
constexpr int ECAP = 11;
constexpr int EFSO = 12;
constexpr int EBUS = 14;
constexpr int ESTB = 15;
constexpr int ESRQ = 16;
constexpr int ETAB = 20;

constexpr int IbaTMO = 3; // ibask option: timeout code

// The arguments every bus accepts: a primary address 0 to 30, no secondary address or 0x60 to
// 0x7E, a timeout code 0 to 17.
inline bool ValidPad(int pad) {
    return pad >= 0 && pad <= 30;
}
inline bool ValidDevice(int pad, int sad, int tmo) {
    return ValidPad(pad) && (sad == 0 || (sad >= 0x60 && sad <= 0x7E)) && tmo >= 0 && tmo <= 17;
}
// A back-end's own descriptors are numbered from 1; null for a number it never gave.
template <class D> D* FindDescriptor(std::vector<D>& table, int ud) {
    return ud < 1 || ud > static_cast<int>(table.size()) ? nullptr : &table[std::size_t(ud - 1)];
}

class Driver {
public:
    virtual ~Driver() = default;

    virtual int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) = 0;
    virtual int ibpad(int ud, int pad) = 0;
    virtual int ibwrt(int ud, const void* buf, long count) = 0;
    virtual int ibrd(int ud, void* buf, long count) = 0;
    virtual int ibwait(int ud, int mask) = 0;
    virtual int ibask(int ud, int option, int* value) = 0;
    virtual int ibtmo(int ud, int v) = 0;
    virtual int ibrsp(int ud, char* spr) = 0;
    virtual int ibclr(int ud) = 0;
    virtual int ibsre(int ud, int v) = 0;
    virtual int ibrdf(int ud, const char* fileName) = 0;
    virtual int ibwrtf(int ud, const char* fileName) = 0;
    virtual void SendIFC(int board) = 0;
    virtual void FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList,
                          int limit) = 0;
    virtual void DevClear(int board, Addr4882_t address) = 0;

    // Status of the last call.
    int ibsta() const { return sta_; }
    int iberr() const { return err_; }
    long ibcntl() const { return cntl_; }

    // Moves on whenever a call makes headway (bytes sent or received), so that a caller on
    // another thread can tell a long transfer from a stuck one. Safe from any thread.
    std::uint64_t progress() const { return progress_.load(std::memory_order_relaxed); }

    // Each call counts as a transaction of this activity from now on (null: of none). Only a
    // driver whose calls hand the window thread to its event loop while they last needs it.
    virtual void reportCallsTo(BusActivity* activity) { (void)activity; }

protected:
    void progressed() { progress_.fetch_add(1, std::memory_order_relaxed); }

    // Reports a listener search the way the program expects it: the board's 0 first, then the
    // instruments found; ERR with EBUS when there are none, ETAB when they do not fit.
    void setListeners(const std::vector<Addr4882_t>& found, Addr4882_t* resultList, int limit);

    // ibask and ibtmo on a back-end's own descriptor timeout code; tmo is null for a
    // descriptor that does not exist.
    int askTimeout(const int* tmo, int option, int* value) {
        if (!tmo) return setStatus(ERR, EDVR, 0);
        if (option != IbaTMO || !value) return setStatus(ERR, EARG, 0);
        *value = *tmo;
        return setStatus(CMPL, 0, 0);
    }
    int changeTimeout(int* tmo, int v) {
        if (!tmo) return setStatus(ERR, EDVR, 0);
        if (v < 0 || v > 17) return setStatus(ERR, EARG, 0);
        *tmo = v;
        return setStatus(CMPL, 0, 0);
    }
    // ibdev on a back-end that keeps its own descriptors, numbered from 1: a board other than 0
    // is ENEB, arguments out of range EARG (-1 for both), else the new descriptor's number.
    template <class D>
    int addDescriptor(std::vector<D>& table, int board, int pad, int sad, int tmo) {
        if (board != 0 || !ValidDevice(pad, sad, tmo)) {
            setStatus(ERR, board != 0 ? ENEB : EARG, 0);
            return -1;
        }
        D added{};
        added.pad = pad;
        added.tmo = tmo;
        table.push_back(std::move(added));
        setStatus(CMPL, 0, 0);
        return static_cast<int>(table.size());
    }
    // ibpad on such a back-end: EDVR for a number it never gave, EARG for an address out of
    // range.
    template <class D> int changePad(std::vector<D>& table, int ud, int pad) {
        D* u = FindDescriptor(table, ud);
        if (!u) return setStatus(ERR, EDVR, 0);
        if (!ValidPad(pad)) return setStatus(ERR, EARG, 0);
        u->pad = pad;
        return setStatus(CMPL, 0, 0);
    }
    int setStatus(int sta, int err, long cntl) {
        sta_ = sta;
        err_ = err;
        cntl_ = cntl;
        return sta;
    }

private:
    int sta_ = 0;
    int err_ = 0;
    long cntl_ = 0;
    std::atomic<std::uint64_t> progress_{0};
};

// Seconds of a timeout code 0..17 (0: none, returned as a negative value).
double TimeoutSeconds(int code);
// What this program waits at most where a timeout code asks for no limit (0): as long as the
// longest code, so that nothing waits for ever.
constexpr double NoLimitSeconds = 1000;

// Ends every message about a bus that cannot be used.
extern const char* const ChooseBenchHint;

} // namespace gpib
