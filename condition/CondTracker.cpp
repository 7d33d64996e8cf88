#include "condition/CondTracker.h"
#include "common/Numbers.h"
#include "platform/Platform.h"

using platform::Answer;
using platform::Buttons;
using platform::Icon;

bool CondTracker::begin(const RunHooks& hooks) {
    condActive_ = IsCondOn(settings_.ConditionStatusWord);
    hitCount_ = {0, 0};
    maxValue_ = 0;
    highlight_ = false;
    if (!condActive_) return true;

    f_ = FieldsByBit(settings_.ConditionStatusWord);
    target_ = settings_.ConditionTargetValue;
    command_ = settings_.ConditionGPIBCommand.toLatin1();
    const double target = NumericValue(target_[0]);
    bandLow_ = float(target * (1 - f_.pct[0] * 0.01));
    bandHigh_ = float(target * (1 + f_.pct[0] * 0.01));

    if (f_.sendAtEnd && !hooks.isListener(f_.gpibAddr)) {
        const Answer a = platform::MsgBox(
            "Condtional Command is turned ON",
            "No device with address" + QString::fromLatin1(NumberText(double(f_.gpibAddr))) +
                " is present on the bus !\n\n"
                "Select Yes to continue with Conditional Command turned OFF  or  No to Exit.",
            Buttons::YesNo, Icon::Warning, Answer::Yes);
        if (a != Answer::Yes) {
            condActive_ = false;
            return false;
        }
        condActive_ = false;
        if (hooks.conditionSwitchedOff) hooks.conditionSwitchedOff();
    }
    return true;
}

void CondTracker::send(const RunHooks& hooks) const {
    hooks.sendToAddress(f_.gpibAddr, command_);
}

bool CondTracker::count(int i, bool hit) {
    hitCount_[i] = hit ? std::int16_t(hitCount_[i] + 1) : std::int16_t(0);
    return hitCount_[i] == f_.noOfCond;
}

AnswerVerdict CondTracker::answer(const QByteArray& answer, const RunHooks& hooks) {
    if (!condActive_) return {};
    const float v = float(NumericValue(answer));
    const auto counting = [&] { return hitCount_[0] >= 1 || hitCount_[1] >= 1; };
    bool metNow = false;

    if (hitCount_[0] != Met && f_.selection != 2) {
        bool reached = false;
        switch (f_.cond1Mode) {
        case LessThan:
            reached = count(0, v < bandLow_);
            break;
        case GreaterThan:
            reached = count(0, v > bandHigh_);
            break;
        case EqualTo:
            reached = count(0, bandLow_ <= v && v <= bandHigh_);
            break;
        default: // no single mode: the count stays where it is
            reached = hitCount_[0] == f_.noOfCond;
            break;
        }
        if (reached) {
            metNow = true;
            if (f_.sendAtEnd) send(hooks);
            hitCount_[0] = Met;
            highlight_ = false;
        } else {
            highlight_ = counting();
        }
    }

    if (hitCount_[1] != Met && (f_.selection == 2 || f_.selection == 3)) {
        // The maximum of the earlier answers only: this one is taken in below.
        const float threshold = f_.maxMinusPct
                                    ? float((1 - f_.pct[1] * 0.01) * double(maxValue_))
                                    : float(double(maxValue_) - NumericValue(target_[1]));
        if (count(1, v < threshold)) {
            metNow = true;
            if (f_.sendAtEnd) send(hooks);
            hitCount_[1] = Met;
            highlight_ = false;
        } else {
            highlight_ = counting();
        }
    }

    if (v > maxValue_) maxValue_ = v;
    return {highlight_, met() && f_.endSeq, metNow};
}

void CondTracker::end(const RunHooks& hooks) {
    if (condActive_ && !met() && f_.sendAtEnd) send(hooks);
}

QString CondTracker::terminationReport(const QByteArray& lastAnswer) const {
    if (!condActive_ || !met() || !f_.endSeq) return {};
    const auto str = [](double n) { return QString::fromLatin1(NumberText(n)); };
    QStringList lines;
    if (hitCount_[0] == Met) {
        QString mode, sign;
        switch (f_.cond1Mode) {
        case LessThan:
            mode = "Less than", sign = " -";
            break;
        case GreaterThan:
            mode = "Greater than", sign = " +";
            break;
        case EqualTo:
            mode = "Equal to", sign = QString::fromUtf8(" within \u00b1");
            break;
        default:
            break;
        }
        lines << "Mode: " + mode;
        QString target = "Target Value: " + target_[0];
        if (f_.pct[0] >= 1) target += sign + str(f_.pct[0]) + "%";
        lines << target;
    } else {
        lines << "Mode: Less than Max";
        QString target = "Target Value: Max";
        if (f_.maxMinusPct) {
            if (f_.pct[1] >= 1) target += " minus" + str(f_.pct[1]) + "%";
        } else {
            target += " minus " + target_[1];
        }
        lines << target;
        lines << "Last Max Value:" + QString::fromLatin1(NumberText(maxValue_));
    }
    QByteArray last = lastAnswer;
    if (const qsizetype comma = last.indexOf(','); comma >= 0) last[comma] = '.';
    lines << "Actual Meaurement:" + str(NumericValue(last));
    lines << "Number of valid Measurements:" + str(f_.noOfCond);
    return lines.join(QLatin1Char('\n'));
}

QList<double> TargetLevels(const CondCommand& command) {
    if (!IsCondOn(command.ConditionStatusWord)) return {};
    const CondFields f = FieldsByBit(command.ConditionStatusWord);
    if (f.selection == 2) return {};
    const double target = NumericValue(command.ConditionTargetValue[0]);
    // The run compares in single precision; the levels are drawn where it puts them.
    const double low = float(target * (1 - f.pct[0] * 0.01));
    const double high = float(target * (1 + f.pct[0] * 0.01));
    switch (f.cond1Mode) {
    case LessThan:
        return {low};
    case GreaterThan:
        return {high};
    case EqualTo:
        return {low, high};
    default:
        return {};
    }
}
