#pragma once
// Runs every call of another driver on one worker thread while the calling (window) thread
// goes on handling events until the call returns, so a read that blocks for seconds never
// freezes a window. Calls stay serialised: a call made from an event handler during another
// call waits for the worker, handling events meanwhile, and then runs. The program's logic
// stays on the window thread; only the driver call itself moves.
#include "bus/GpibDriver.h"
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace gpib {

class ThreadedDriver : public Driver {
public:
    explicit ThreadedDriver(std::unique_ptr<Driver> inner);
    ~ThreadedDriver() override;
    ThreadedDriver(const ThreadedDriver&) = delete;
    ThreadedDriver& operator=(const ThreadedDriver&) = delete;

    Driver& inner() const { return *inner_; }

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

    struct Job;

private:
    // Runs the call on the worker and takes over the status it left.
    int run(std::function<int(Driver&)> call);
    template <class Pred> void waitUntil(Pred ready);
    void work();

    std::unique_ptr<Driver> inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<Job> pending_; // handed to the worker, not yet taken
    bool busy_ = false;            // a call is handed over or running
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace gpib
