#include "bus/ThreadedDriver.h"
#include "bus/BusActivity.h"
#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace gpib {

// A call and what it left, shared by the caller and the worker: should the caller's stack
// unwind while the call still runs, the worker finishes on memory it owns.
struct ThreadedDriver::Job {
    std::function<int(Driver&)> call;
    int result = 0;
    int sta = 0, err = 0;
    long cntl = 0;
    bool done = false;
};

ThreadedDriver::ThreadedDriver(std::unique_ptr<Driver> inner)
    : inner_(std::move(inner)), worker_(QThread::create([this] { work(); })) {
    worker_->start();
}

ThreadedDriver::~ThreadedDriver() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_->wait();
}

void ThreadedDriver::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || pending_; });
        if (!pending_) {
            // What the back-end opened on this thread is closed on it too.
            inner_.reset();
            return;
        }
        const std::shared_ptr<Job> job = std::move(pending_);
        lock.unlock();
        const int result = job->call(*inner_);
        const int sta = inner_->ibsta(), err = inner_->iberr();
        const long cntl = inner_->ibcntl();
        lock.lock();
        job->result = result;
        job->sta = sta;
        job->err = err;
        job->cntl = cntl;
        job->done = true;
        busy_ = false;
        changed_.notify_all();
        // Wakes the window thread's event loop, which may be asleep waiting for events.
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] {}, Qt::QueuedConnection);
    }
}

// On the window thread the wait handles events, the way the program's other waits do; on any
// other thread, or without an event loop, it simply blocks.
template <class Pred> void ThreadedDriver::waitUntil(Pred ready) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, ready);
        return;
    }
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (ready()) return;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

int ThreadedDriver::call(std::function<int(Driver&)> work) {
    const Transaction transaction; // the windows handle events meanwhile, and must know it
    auto job = std::make_shared<Job>();
    job->call = std::move(work);
    // The worker is free once the earlier call finished, even when that call's caller is
    // further down this thread's stack, waiting for its own turn to return.
    waitUntil([this] { return !busy_; });
    {
        std::lock_guard lock(mutex_);
        busy_ = true;
        pending_ = job;
    }
    changed_.notify_all();
    waitUntil([&job] { return job->done; });
    setStatus(job->sta, job->err, job->cntl);
    return job->result;
}

int ThreadedDriver::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    return call([=](Driver& d) { return d.ibdev(board, pad, sad, tmo, eot, eos); });
}

int ThreadedDriver::ibpad(int ud, int pad) {
    return call([=](Driver& d) { return d.ibpad(ud, pad); });
}

int ThreadedDriver::ibwrt(int ud, const void* buf, long count) {
    if (!buf || count <= 0) return call([=](Driver& d) { return d.ibwrt(ud, buf, count); });
    auto data = std::make_shared<std::vector<char>>(static_cast<const char*>(buf),
                                                    static_cast<const char*>(buf) + count);
    return call([=](Driver& d) { return d.ibwrt(ud, data->data(), count); });
}

int ThreadedDriver::ibrd(int ud, void* buf, long count) {
    if (!buf || count <= 0) return call([=](Driver& d) { return d.ibrd(ud, buf, count); });
    auto data = std::make_shared<std::vector<char>>(static_cast<char*>(buf),
                                                    static_cast<char*>(buf) + count);
    const int sta = call([=](Driver& d) { return d.ibrd(ud, data->data(), count); });
    std::memcpy(buf, data->data(), static_cast<size_t>(count));
    return sta;
}

int ThreadedDriver::ibwait(int ud, int mask) {
    return call([=](Driver& d) { return d.ibwait(ud, mask); });
}

int ThreadedDriver::ibask(int ud, int option, int* value) {
    if (!value) return call([=](Driver& d) { return d.ibask(ud, option, nullptr); });
    auto v = std::make_shared<int>(*value);
    const int sta = call([=](Driver& d) { return d.ibask(ud, option, v.get()); });
    *value = *v;
    return sta;
}

int ThreadedDriver::ibtmo(int ud, int v) {
    return call([=](Driver& d) { return d.ibtmo(ud, v); });
}

int ThreadedDriver::ibrsp(int ud, char* spr) {
    if (!spr) return call([=](Driver& d) { return d.ibrsp(ud, nullptr); });
    auto byte = std::make_shared<char>(*spr);
    const int sta = call([=](Driver& d) { return d.ibrsp(ud, byte.get()); });
    *spr = *byte;
    return sta;
}

int ThreadedDriver::ibclr(int ud) {
    return call([=](Driver& d) { return d.ibclr(ud); });
}

int ThreadedDriver::ibsre(int ud, int v) {
    return call([=](Driver& d) { return d.ibsre(ud, v); });
}

int ThreadedDriver::ibrdf(int ud, const char* fileName) {
    if (!fileName) return call([=](Driver& d) { return d.ibrdf(ud, nullptr); });
    auto name = std::make_shared<std::string>(fileName);
    return call([=](Driver& d) { return d.ibrdf(ud, name->c_str()); });
}

int ThreadedDriver::ibwrtf(int ud, const char* fileName) {
    if (!fileName) return call([=](Driver& d) { return d.ibwrtf(ud, nullptr); });
    auto name = std::make_shared<std::string>(fileName);
    return call([=](Driver& d) { return d.ibwrtf(ud, name->c_str()); });
}

void ThreadedDriver::SendIFC(int board) {
    call([=](Driver& d) {
        d.SendIFC(board);
        return 0;
    });
}

void ThreadedDriver::FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList,
                              int limit) {
    if (!padList || !resultList || limit <= 0) {
        call([=](Driver& d) {
            d.FindLstn(board, padList, resultList, limit);
            return 0;
        });
        return;
    }
    auto pads = std::make_shared<std::vector<Addr4882_t>>();
    for (const Addr4882_t* p = padList; *p != NOADDR; ++p)
        pads->push_back(*p);
    pads->push_back(NOADDR);
    auto results = std::make_shared<std::vector<Addr4882_t>>(resultList, resultList + limit);
    call([=](Driver& d) {
        d.FindLstn(board, pads->data(), results->data(), limit);
        return 0;
    });
    std::copy(results->begin(), results->end(), resultList);
}

void ThreadedDriver::DevClear(int board, Addr4882_t address) {
    call([=](Driver& d) {
        d.DevClear(board, address);
        return 0;
    });
}

} // namespace gpib
