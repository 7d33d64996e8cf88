#include "measure/RunController.h"
#include "bus/Instrument.h"
#include "bus/Listeners.h"
#include "measure/LogFile.h"
#include "platform/Platform.h"
#include <QCoreApplication>
#include <QScopeGuard>
#include <QTimer>

RunController::RunController(const bus::Instrument& instrument, const bus::Listeners& listeners,
                             bus::ErrorPolicy& policy, QObject* parent)
    : QObject(parent), instrument_(instrument), listeners_(listeners), policy_(policy),
      conditions_(std::make_unique<NoConditions>()), timer_(new QTimer(this)) {
    timer_->setObjectName("Timer1");
    timer_->setSingleShot(false);
    // A coarse timer may end a wait up to 5 % early or late, which shifts every measurement.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &RunController::timerFired);
    hooks_.isListener = [this](int address) { return listeners_.contains(address); };
    hooks_.sendToAddress = [this](int address, const QByteArray& command) {
        if (policy_.decide(instrument_.sendTo(std::int16_t(address), command)) ==
            bus::Next::EndProgram)
            platform::Sys().endProgram(1);
    };
    hooks_.conditionSwitchedOff = [this] { emit conditionSwitchedOff(); };
}

RunController::~RunController() = default;

void RunController::setConditions(std::unique_ptr<RunConditions> conditions) {
    conditions_ = conditions ? std::move(conditions) : std::make_unique<NoConditions>();
}

bool RunController::prepare() {
    if (!conditions_->begin(hooks_)) return false;
    judged_ = conditions_->takesPart();
    return true;
}

bool RunController::run(const RunSettings& settings) {
    if (running_) return false;
    settings_ = settings;
    auto log = std::make_unique<LogWriter>();
    const OpenFailure failure = settings.logPath.isEmpty()
                                    ? OpenFailure::NotFound
                                    : log->open(settings.logPath, SyncPolicy::EveryRow);
    if (failure != OpenFailure::None) {
        emit failed("File Error", OpenFailureText(failure, settings.logName));
        return false;
    }
    log_ = std::move(log);
    stopRequested_ = false;
    conditionEnded_ = false;
    writeFailed_ = false;
    lastAnswer_.clear();
    running_ = true;
    // Whatever ends the run, even the program ending from an error box, the flag goes down.
    auto running = qScopeGuard([this] { running_ = false; });
    emit started(settings_);
    if (settings_.measurement.DecimalSeparator == ".") writeRow("sep=;");
    writeRow(HeaderLine(settings_.columns));
    // A double counts on where a single-precision count would stop at 2^24.
    for (double seq = 1; seq <= settings_.sequenceCount && !stopRequested_; seq += 1)
        if (!sequence(seq)) break;

    log_->close();
    log_.reset();
    conditions_->end(hooks_);
    RunResult result;
    if (stopRequested_)
        result.end = RunResult::Stopped;
    else if (conditionEnded_)
        result = {RunResult::Terminated, conditions_->terminationReport(lastAnswer_)};
    running.dismiss();
    running_ = false;
    emit finished(result);
    return true;
}

bool RunController::writeRow(const QByteArray& line) {
    // A line the system refused (disk full, file size limit) must not pass as logged: the
    // run ends instead of going on to "Completed" with rows missing.
    if (writeFailed_) return false;
    if (log_->writeLine(line)) return true;
    writeFailed_ = true;
    emit failed("File Error", "Can't write file " + settings_.logName + ".");
    stop();
    return false;
}

bool RunController::sequence(double seq) {
    RunRow row;
    row.seq = seq;
    row.elapsed = float(seq - 1) * settings_.intervalSeconds;
    emit measuring(seq);
    row.pcTime = QTime::currentTime();
    QByteArray line = RowPrefix(settings_.columns, row.pcTime, row.elapsed, qint64(seq));

    const MeasurementSettings& m = settings_.measurement;
    const bus::Reply reply = instrument_.query(settings_.query, &stopRequested_);
    if (policy_.decide(reply.error) == bus::Next::EndProgram) platform::Sys().endProgram(1);
    row.answer = ApplyExclusions(reply.text, m.Exclude1, m.Exclude2);
    row.judged = judged_;
    if (judged_) {
        row.verdict = conditions_->answer(row.answer, hooks_);
        conditionEnded_ = conditionEnded_ || row.verdict.endRun;
    }
    row.value = ProcessAnswer(row.answer, m.DecNotation, m.DecimalSeparator);
    if (!row.value.valid) {
        emit failed("Measurement format error", MeasurementFormatText(row.answer));
        stop();
        line = InvalidMeasurementRow;
    }
    lastAnswer_ = row.value.text;
    line += row.value.text;
    row.line = line;
    row.logged = writeRow(line);
    emit rowMeasured(row);

    if (conditionEnded_) return false;
    if (seq < settings_.sequenceCount) wait(settings_.intervalSeconds);
    return true;
}

void RunController::stop() {
    stopRequested_ = true;
    timerFired_ = true;
    emit stopping();
}

void RunController::waitForTimer(int intervalMs) {
    // After stop, timerFired_ stays set so every remaining part of the wait ends at once.
    if (!stopRequested_) timerFired_ = false;
    timer_->setInterval(intervalMs);
    timer_->start();
    emit timerArmed(intervalMs);
    while (!timerFired_)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timer_->stop();
}

void RunController::wait(float seconds) {
    const WaitPlan plan = PlanWait(seconds);
    for (qint64 i = 0; i < plan.minutes; ++i)
        waitForTimer(60000);
    if (plan.restMs != 0) waitForTimer(plan.restMs);
}
