#include "platform/StopSignals.h"
#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// Shared with the signal handler, which may run on any thread: lock-free atomics and a pipe
// only. The handler announces before it looks and the guard leaves before it looks, so one of
// the two always sees the other and the process ends at a row's edge.
std::atomic<int> signalsSeen{0};
std::atomic<int> rowsInFlight{0};
std::atomic<int> exitPending{0};
int exitStatus = 1;
int wakeFds[2] = {-1, -1};

void OnSignal(int signal) {
    if (signalsSeen.fetch_add(1) == 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &byte, 1);
        return;
    }
    exitPending.store(exitStatus);
    if (rowsInFlight.load() == 0) ::_exit(exitStatus);
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> onFirst, int exitCode)
    : onFirst_(std::move(onFirst)) {
    exitStatus = exitCode;
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        if (::read(wakeFds[0], &byte, 1) == 1 && onFirst_) onFirst_(byte);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignals::~StopSignals() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    delete notifier_;
    for (int& fd : wakeFds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    signalsSeen.store(0);
}

WholeRowGuard::WholeRowGuard() {
    rowsInFlight.fetch_add(1);
}

WholeRowGuard::~WholeRowGuard() {
    if (rowsInFlight.fetch_sub(1) == 1 && exitPending.load() != 0) ::_exit(exitPending.load());
}

} // namespace platform
