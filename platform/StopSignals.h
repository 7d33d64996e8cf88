#pragma once
// SIGINT and SIGTERM for a run without a window: the first stops the run as the Stop button
// does, a second ends the program at once, but never while a log row is being written.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace platform {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // onFirst runs on the event loop with the signal's number. A second signal ends the
    // process with exitCode.
    StopSignals(std::function<void(int signal)> onFirst, int exitCode);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    std::function<void(int)> onFirst_;
    QSocketNotifier* notifier_ = nullptr;
};

// While one lives, a second stop signal waits for it to end: a log row reaches the file whole
// or not at all. Costs two atomic operations.
class WholeRowGuard {
public:
    WholeRowGuard();
    ~WholeRowGuard();
    WholeRowGuard(const WholeRowGuard&) = delete;
    WholeRowGuard& operator=(const WholeRowGuard&) = delete;
};

} // namespace platform
