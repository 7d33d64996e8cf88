#pragma once
// Runs every call of another driver on one worker thread while the calling (window) thread
// goes on handling events until the call returns, so a read that blocks for seconds never
// freezes a window. Calls stay serialised: a call made from an event handler during another
// call waits for the worker, handling events meanwhile, and then runs. The program's logic
// stays on the window thread; only the driver call itself moves.
//
// The wait is bounded: a call that makes no progress for its descriptor's timeout plus a
// margin is given up and reported as failed (ERR|TIMO, EABO), and every call after it fails
// at once (ERR, EDVR) until the worker is free again. The program can then still quit: the
// destructor leaves a stuck worker behind instead of waiting for it.
#include "bus/GpibDriver.h"
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QThread;

namespace gpib {

class ThreadedDriver : public Driver {
public:
    // Beyond a call's own timeout, for the driver's overhead and a loaded machine.
    static constexpr int DefaultMarginMs = 5000;
    // Calls without a timeout of their own (board calls, an adapter's start-up): the longest
    // of them, a listener search through an adapter, takes some 10 s.
    static constexpr qint64 BoardCallMs = 30000;

    explicit ThreadedDriver(std::unique_ptr<Driver> inner, int marginMs = DefaultMarginMs);
    ~ThreadedDriver() override;
    ThreadedDriver(const ThreadedDriver&) = delete;
    ThreadedDriver& operator=(const ThreadedDriver&) = delete;

    // Runs the call on the worker and takes over the status it left. Also for set-up work
    // that must happen on the worker, such as opening a port that the worker will use.
    // Gives 0 when the call made no progress for limitMs.
    int call(std::function<int(Driver&)> call, qint64 limitMs = BoardCallMs);

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
    // The windows handle events while a call lasts, and must know it.
    void reportCallsTo(BusActivity* activity) override { activity_ = activity; }

    struct Job;
    struct State;

private:
    // The call's result, or nothing when it was refused or given up (the status says which).
    std::optional<int> run(std::function<int(Driver&)> work, qint64 limitMs);
    int board(std::function<int(Driver&)> work);
    int onDescriptor(int ud, std::function<int(Driver&)> work, qint64 extraMs = 0);
    bool await(const std::function<bool()>& ready, qint64 limitMs);

    std::shared_ptr<State> state_; // shared with the worker, which may outlive this object
    const Driver* inner_;          // for its progress only
    int marginMs_;
    std::map<int, int> timeouts_; // timeout code of each descriptor opened through here
    bool completed_ = false;      // the last call ran to its end: its results may be copied
    BusActivity* activity_ = nullptr;
    // A QThread, not a bare thread: the serial port and socket of adapters need one.
    std::unique_ptr<QThread> worker_;
};

} // namespace gpib
