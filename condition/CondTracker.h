#pragma once
// The conditional command during a run: compares every answer with the selected conditions,
// sends the command to the second device when one is met, and tells the run whether to end.
#include "condition/CondSettings.h"
#include "measure/RunConditions.h"
#include <QList>
#include <array>

class CondTracker : public RunConditions {
public:
    // Reads the settings at each begin; they must outlive the tracker.
    explicit CondTracker(const CondCommand& settings) : settings_(settings) {}
    explicit CondTracker(CondCommand&&) = delete;

    bool begin(const RunHooks& hooks) override;
    AnswerVerdict answer(const QByteArray& answer, const RunHooks& hooks) override;
    void end(const RunHooks& hooks) override;
    QString terminationReport(const QByteArray& lastAnswer) const override;
    bool takesPart() const override { return condActive_; }

    bool active() const { return condActive_; }
    // A condition has been met in this run.
    bool met() const { return hitCount_[0] == Met || hitCount_[1] == Met; }
    float maxValue() const { return maxValue_; }

private:
    static constexpr std::int16_t Met = -1;

    void send(const RunHooks& hooks) const;
    // Counts a hit or a miss; true when the count has just reached the number needed.
    bool count(int i, bool hit);

    const CondCommand& settings_;
    bool condActive_ = false;
    CondFields f_;
    float bandLow_ = 0, bandHigh_ = 0;
    std::array<std::int16_t, 2> hitCount_{};
    float maxValue_ = 0;
    bool highlight_ = false;
    // Copied at start: the dialog cannot change them during a run, but a run's report must
    // describe the settings it ran with.
    std::array<QString, 2> target_;
    QByteArray command_;
};

// The levels a chart of the run draws for these settings: condition 1's band (both ends for
// "equal to", the end it compares with otherwise), when the command is on and condition 1
// takes part. Condition 2 follows the run's maximum and has no fixed level.
QList<double> TargetLevels(const CondCommand& command);
