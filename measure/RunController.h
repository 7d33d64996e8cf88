#pragma once
// A measurement run without widgets: it measures, writes the log and consults the conditions,
// and tells what happens through its signals. The main window shows them; a run without a
// window or a live chart can listen to the same signals.
#include "bus/BusError.h"
#include "measure/Processing.h"
#include "measure/Run.h"
#include "measure/RunConditions.h"
#include <QObject>
#include <QString>
#include <QTime>
#include <array>
#include <memory>

class LogWriter;
class QTimer;
namespace bus {
class Instrument;
class Listeners;
} // namespace bus

// What one run measures and where it logs.
struct RunSettings {
    QByteArray query;
    std::array<bool, 3> columns{}; // PC time, time from start, sequence number
    double sequenceCount = 0;
    float intervalSeconds = 0;
    float totalSeconds = 0;
    QString logPath; // the file the run writes
    QString logName; // its name, as the boxes tell it
    MeasurementSettings measurement;
};

// One measured row.
struct RunRow {
    double seq = 0;
    float elapsed = 0;     // seconds from the start, as the row counts them
    QTime pcTime;          // when the row was taken
    QByteArray answer;     // the answer after the exclusions
    ProcessedAnswer value; // what the processing made of it
    QByteArray line;       // the row's bytes as written, without the line end
    bool logged = false;   // the line reached the log
    bool judged = false;   // the conditions took part, so verdict counts
    AnswerVerdict verdict;
};

class RunController : public QObject {
    Q_OBJECT

public:
    RunController(const bus::Instrument& instrument, const bus::Listeners& listeners,
                  bus::ErrorPolicy& policy, QObject* parent = nullptr);
    ~RunController() override;

    // The conditions every later run consults; NoConditions when none is given.
    void setConditions(std::unique_ptr<RunConditions> conditions);
    bool running() const { return running_; }
    bool stopRequested() const { return stopRequested_; }

    // The conditions' start step, before the log file is chosen. False: the run must not start.
    bool prepare();
    // Opens the log and runs every sequence; returns when the run has ended (finished has
    // told how). False: the log did not open (failed has told why) and nothing was measured.
    // Waits handle events meanwhile.
    bool run(const RunSettings& settings);
    // Ends the run as the Stop button does: the current query and wait end at once.
    void stop();
    // One wait, in timer periods; ends early after stop().
    void wait(float seconds);
    // The timer's period ended (the timer's own signal; a test may call it to skip a wait).
    void timerFired() { timerFired_ = true; }

signals:
    // The log is open and the first row is about to be written.
    void started(const RunSettings& settings);
    // A sequence begins: its query goes out next.
    void measuring(double seq);
    void rowMeasured(const RunRow& row);
    // Something the user must hear of; the run has been stopped when it is the end of it.
    void failed(const QString& title, const QString& text);
    // stop() was called, by the user or by a failure.
    void stopping();
    // The conditions switched themselves off for good, at the user's choice.
    void conditionSwitchedOff();
    // A wait armed the timer with this period.
    void timerArmed(int intervalMs);
    void finished(const RunResult& result);

private:
    bool writeRow(const QByteArray& line);
    // One sequence; false when the run is to end after it.
    bool sequence(double seq);
    void waitForTimer(int intervalMs);

    const bus::Instrument& instrument_;
    const bus::Listeners& listeners_;
    bus::ErrorPolicy& policy_;
    std::unique_ptr<RunConditions> conditions_;
    RunHooks hooks_;
    QTimer* timer_ = nullptr;

    // The run under way.
    RunSettings settings_;
    std::unique_ptr<LogWriter> log_;
    bool running_ = false;
    bool stopRequested_ = false;
    bool timerFired_ = false;
    bool judged_ = false;
    bool conditionEnded_ = false; // a condition was met and asked the run to end
    bool writeFailed_ = false;
    QByteArray lastAnswer_; // the measured field of the last row
};
