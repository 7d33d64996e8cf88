#pragma once
// What a measurement run asks of the conditional command: a start step, a step per answer and
// an end step. The run owns the bus and the window; a condition tracker reaches them only
// through the hooks the run hands it, so it stays plain code that a table can test.
#include <QByteArray>
#include <QString>
#include <functional>

struct RunHooks {
    std::function<bool(int address)> isListener;
    // Sends a command to another address and leaves the descriptor on the measuring device.
    std::function<void(int address, const QByteArray& command)> sendToAddress;
    // The user chose to go on with the conditional command switched off: the settings switch
    // it off for good, and the window shows it.
    std::function<void()> conditionSwitchedOff;
};

// How an answer leaves the conditions.
struct AnswerVerdict {
    bool highlight = false; // a condition is part-way to being met: light green background
    bool endRun = false;    // a condition is met and the run is to end after this row
    bool met = false;       // a condition was met with this very answer
};

class RunConditions {
public:
    virtual ~RunConditions() = default;
    // Before the log file opens. False: the run must not start.
    virtual bool begin(const RunHooks& hooks) = 0;
    // After the answer's exclusions, before the run's maximum takes this answer in.
    virtual AnswerVerdict answer(const QByteArray& answer, const RunHooks& hooks) = 0;
    // After the log file is closed.
    virtual void end(const RunHooks& hooks) = 0;
    // After begin: the conditions take part in this run, and the run shows each answer's
    // highlight. A tracker whose conditions are off answers false.
    virtual bool takesPart() const { return true; }
    // The termination report for a run a condition ended; lastAnswer is the last answer as
    // logged. Empty when no condition ended the run.
    virtual QString terminationReport(const QByteArray& lastAnswer) const = 0;
};

// The conditions of a run without a conditional command: they never take part.
class NoConditions : public RunConditions {
public:
    bool begin(const RunHooks&) override { return true; }
    bool takesPart() const override { return false; }
    AnswerVerdict answer(const QByteArray&, const RunHooks&) override { return {}; }
    void end(const RunHooks&) override {}
    QString terminationReport(const QByteArray&) const override { return {}; }
};
