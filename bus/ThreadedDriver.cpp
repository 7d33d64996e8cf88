#include "bus/ThreadedDriver.h"
#include "bus/BusActivity.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace gpib {

namespace {
// On quitting, how long a call still running may hold the program up before it is left behind.
constexpr int QuitWaitMs = 2000;
// A file goes to an instrument at least this fast (bytes per millisecond), or the transfer
// counts as stuck: the driver's file call reports nothing until it ends.
constexpr qint64 SlowestFileRate = 10;
} // namespace

// A call and what it left, shared by the caller and the worker: should the caller's stack
// unwind, or the caller give the call up, the worker finishes on memory it owns.
struct ThreadedDriver::Job {
    std::function<int(Driver&)> call;
    int result = 0;
    int sta = 0, err = 0;
    long cntl = 0;
    bool done = false;
};

// What the worker uses; it keeps it alive even when the driver is gone before the worker.
struct ThreadedDriver::State {
    std::unique_ptr<Driver> inner;
    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<Job> pending; // handed to the worker, not yet taken
    bool busy = false;            // a call is handed over or running
    bool abandoned = false;       // the running call was given up as stuck
    bool stopping = false;
};

namespace {

void Work(const std::shared_ptr<ThreadedDriver::State>& s) {
    std::unique_lock lock(s->mutex);
    for (;;) {
        s->changed.wait(lock, [&] { return s->stopping || s->pending; });
        if (s->stopping) {
            // What the back-end opened on this thread is closed on it too.
            s->inner.reset();
            return;
        }
        const std::shared_ptr<ThreadedDriver::Job> job = std::move(s->pending);
        lock.unlock();
        const int result = job->call(*s->inner);
        const int sta = s->inner->ibsta(), err = s->inner->iberr();
        const long cntl = s->inner->ibcntl();
        lock.lock();
        job->result = result;
        job->sta = sta;
        job->err = err;
        job->cntl = cntl;
        job->done = true;
        s->busy = false;
        s->abandoned = false;
        s->changed.notify_all();
        // Wakes the window thread's event loop, which may be asleep waiting for events.
        if (QCoreApplication* app = QCoreApplication::instance(); app && !s->stopping)
            QMetaObject::invokeMethod(
                app, [] {}, Qt::QueuedConnection);
    }
}

} // namespace

ThreadedDriver::ThreadedDriver(std::unique_ptr<Driver> inner, int marginMs)
    : state_(std::make_shared<State>()), inner_(inner.get()), marginMs_(marginMs) {
    state_->inner = std::move(inner);
    worker_.reset(QThread::create([s = state_] { Work(s); }));
    worker_->start();
}

ThreadedDriver::~ThreadedDriver() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    // A worker stuck in the driver is left to finish, or to end with the process.
    if (!worker_->wait(QDeadlineTimer(QuitWaitMs))) (void)worker_.release();
}

// Waits until ready() holds, true then; false once the inner driver made no progress for
// limitMs. On the window thread the wait handles events, the way the program's other waits
// do; on any other thread, or without an event loop, it simply blocks.
bool ThreadedDriver::await(const std::function<bool()>& ready, qint64 limitMs) {
    QDeadlineTimer deadline(limitMs);
    std::uint64_t seen = inner_->progress();
    const auto expired = [&] {
        if (!deadline.hasExpired()) return false;
        if (const std::uint64_t now = inner_->progress(); now != seen) {
            seen = now;
            deadline.setRemainingTime(limitMs);
            return false;
        }
        return true;
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        std::unique_lock lock(state_->mutex);
        while (!ready()) {
            if (expired()) return false;
            state_->changed.wait_for(lock, deadline.remainingTimeAsDuration());
        }
        return true;
    }
    QTimer wake; // so that the loop wakes up at the deadline when nothing else happens
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        {
            std::lock_guard lock(state_->mutex);
            if (ready()) return true;
        }
        if (expired()) return false;
        wake.start(int(std::clamp<qint64>(deadline.remainingTime(), 1, INT_MAX)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

std::optional<int> ThreadedDriver::run(std::function<int(Driver&)> work, qint64 limitMs) {
    std::optional<Transaction> transaction;
    if (activity_) transaction.emplace(*activity_);
    completed_ = false;
    auto job = std::make_shared<Job>();
    job->call = std::move(work);
    // The worker is free once the earlier call finished, even when that call's caller is
    // further down this thread's stack, waiting for its own turn to return.
    const bool free = await([this] { return !state_->busy || state_->abandoned; }, limitMs);
    {
        std::lock_guard lock(state_->mutex);
        if (state_->abandoned || !free) {
            completed_ = false; // a call nested in the wait may have set it
            // A stuck call the driver still has not returned from, or no turn in time.
            if (state_->abandoned)
                setStatus(ERR, EDVR, 0);
            else
                setStatus(ERR | TIMO, EABO, 0);
            return std::nullopt;
        }
        state_->busy = true;
        state_->pending = job;
    }
    state_->changed.notify_all();
    if (!await([&job] { return job->done; }, limitMs)) {
        std::lock_guard lock(state_->mutex);
        if (!job->done) {
            state_->abandoned = true;
            completed_ = false;
            setStatus(ERR | TIMO, EABO, 0);
            return std::nullopt;
        }
    }
    setStatus(job->sta, job->err, job->cntl);
    completed_ = true;
    return job->result;
}

int ThreadedDriver::call(std::function<int(Driver&)> work, qint64 limitMs) {
    return run(std::move(work), limitMs).value_or(0);
}

int ThreadedDriver::board(std::function<int(Driver&)> work) {
    return run(std::move(work), BoardCallMs + marginMs_).value_or(ibsta());
}

int ThreadedDriver::onDescriptor(int ud, std::function<int(Driver&)> work, qint64 extraMs) {
    const auto code = timeouts_.find(ud);
    double seconds = code == timeouts_.end() ? -1 : TimeoutSeconds(code->second);
    if (seconds < 0) seconds = NoLimitSeconds;
    const qint64 limit = qint64(seconds * 1000) + marginMs_ + extraMs;
    return run(std::move(work), limit).value_or(ibsta());
}

int ThreadedDriver::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    const int ud = run([=](Driver& d) { return d.ibdev(board, pad, sad, tmo, eot, eos); },
                       BoardCallMs + marginMs_)
                       .value_or(-1);
    if (ud >= 0 && !(ibsta() & ERR)) timeouts_[ud] = tmo;
    return ud;
}

int ThreadedDriver::ibpad(int ud, int pad) {
    return onDescriptor(ud, [=](Driver& d) { return d.ibpad(ud, pad); });
}

int ThreadedDriver::ibwrt(int ud, const void* buf, long count) {
    if (!buf || count <= 0)
        return onDescriptor(ud, [=](Driver& d) { return d.ibwrt(ud, buf, count); });
    auto data = std::make_shared<std::vector<char>>(static_cast<const char*>(buf),
                                                    static_cast<const char*>(buf) + count);
    return onDescriptor(ud, [=](Driver& d) { return d.ibwrt(ud, data->data(), count); });
}

int ThreadedDriver::ibrd(int ud, void* buf, long count) {
    if (!buf || count <= 0)
        return onDescriptor(ud, [=](Driver& d) { return d.ibrd(ud, buf, count); });
    auto data = std::make_shared<std::vector<char>>(static_cast<char*>(buf),
                                                    static_cast<char*>(buf) + count);
    const int sta = onDescriptor(ud, [=](Driver& d) { return d.ibrd(ud, data->data(), count); });
    // A call given up still writes into its own copy; the caller's buffer stays as it was.
    if (completed_) std::memcpy(buf, data->data(), static_cast<size_t>(count));
    return sta;
}

int ThreadedDriver::ibwait(int ud, int mask) {
    return onDescriptor(ud, [=](Driver& d) { return d.ibwait(ud, mask); });
}

int ThreadedDriver::ibask(int ud, int option, int* value) {
    if (!value) return onDescriptor(ud, [=](Driver& d) { return d.ibask(ud, option, nullptr); });
    auto v = std::make_shared<int>(*value);
    const int sta = onDescriptor(ud, [=](Driver& d) { return d.ibask(ud, option, v.get()); });
    if (completed_) *value = *v;
    return sta;
}

int ThreadedDriver::ibtmo(int ud, int v) {
    const int sta = onDescriptor(ud, [=](Driver& d) { return d.ibtmo(ud, v); });
    if (completed_ && !(sta & ERR)) timeouts_[ud] = v;
    return sta;
}

int ThreadedDriver::ibrsp(int ud, char* spr) {
    if (!spr) return onDescriptor(ud, [=](Driver& d) { return d.ibrsp(ud, nullptr); });
    auto byte = std::make_shared<char>(*spr);
    const int sta = onDescriptor(ud, [=](Driver& d) { return d.ibrsp(ud, byte.get()); });
    if (completed_) *spr = *byte;
    return sta;
}

int ThreadedDriver::ibclr(int ud) {
    return onDescriptor(ud, [=](Driver& d) { return d.ibclr(ud); });
}

int ThreadedDriver::ibsre(int ud, int v) {
    return board([=](Driver& d) { return d.ibsre(ud, v); });
}

int ThreadedDriver::ibrdf(int ud, const char* fileName) {
    if (!fileName) return onDescriptor(ud, [=](Driver& d) { return d.ibrdf(ud, nullptr); });
    auto name = std::make_shared<std::string>(fileName);
    return onDescriptor(ud, [=](Driver& d) { return d.ibrdf(ud, name->c_str()); });
}

int ThreadedDriver::ibwrtf(int ud, const char* fileName) {
    if (!fileName) return onDescriptor(ud, [=](Driver& d) { return d.ibwrtf(ud, nullptr); });
    auto name = std::make_shared<std::string>(fileName);
    const qint64 size = QFileInfo(QString::fromLocal8Bit(fileName)).size();
    return onDescriptor(
        ud, [=](Driver& d) { return d.ibwrtf(ud, name->c_str()); }, size / SlowestFileRate);
}

void ThreadedDriver::SendIFC(int b) {
    board([=](Driver& d) {
        d.SendIFC(b);
        return 0;
    });
}

void ThreadedDriver::FindLstn(int b, const Addr4882_t* padList, Addr4882_t* resultList, int limit) {
    if (!padList || !resultList || limit <= 0) {
        board([=](Driver& d) {
            d.FindLstn(b, padList, resultList, limit);
            return 0;
        });
        return;
    }
    auto pads = std::make_shared<std::vector<Addr4882_t>>();
    for (const Addr4882_t* p = padList; *p != NOADDR; ++p)
        pads->push_back(*p);
    pads->push_back(NOADDR);
    auto results = std::make_shared<std::vector<Addr4882_t>>(resultList, resultList + limit);
    board([=](Driver& d) {
        d.FindLstn(b, pads->data(), results->data(), limit);
        return 0;
    });
    if (completed_) std::copy(results->begin(), results->end(), resultList);
}

void ThreadedDriver::DevClear(int b, Addr4882_t address) {
    board([=](Driver& d) {
        d.DevClear(b, address);
        return 0;
    });
}

} // namespace gpib
