#include "measure/Run.h"
#include "common/Numbers.h"
#include "common/Texts.h"
#include "measure/Processing.h"
#include <algorithm>
#include <climits>
#include <cmath>

const char* const InvalidMeasurementRow =
    "Invalid Measurement, Sequence terminated by program.\r\n";

bool StartEnabled(bool connected, bool queryPresent, bool timeApplied, bool running) {
    return connected && queryPresent && timeApplied && !running;
}

ProcessedAnswer ProcessAnswer(const QByteArray& excluded, bool decNotation,
                              const QString& separator) {
    ProcessedAnswer r;
    r.value = float(NumericValue(excluded));
    QByteArray text = excluded;
    if (decNotation) {
        const DecimalNotation converted = ToDecimalNotation(excluded);
        r.valid = converted.valid;
        if (converted.valid) text = converted.text;
    }
    r.text = LocalizeDecimal(text, separator);
    r.shown = TrimSpaces(r.text);
    return r;
}

QString MeasurementFormatText(const QByteArray& answer) {
    return "Convert Measurement to Decimal notation is activated.\n"
           "This works only if the Measurement string begins with a number.\n"
           "The current Measurement is:\n" +
           QString::fromLatin1(answer) +
           "\n\n"
           "To continue with this type of Measurement click the Test button.\n"
           "The Convert check box will be unticked when Test is opened so you\n"
           "could either continue by click OK or go on and define exclusions first.\n"
           "\n"
           "This sequence will be terminated.";
}

ProgressScale ProgressFor(double sequenceCount) {
    ProgressScale scale;
    if (!(sequenceCount > 0)) return scale;
    if (sequenceCount <= INT_MAX) {
        scale.maximum = int(sequenceCount);
        return scale;
    }
    scale.maximum = INT_MAX;
    scale.perStep = double(INT_MAX) / sequenceCount;
    return scale;
}

int ProgressScale::valueAt(double seq) const {
    const double v = std::floor(seq * perStep);
    return v >= maximum ? maximum : v <= 0 ? 0 : int(v);
}

namespace {
// A count as a plain whole number, however large.
QString Whole(double count) {
    return QString::number(std::trunc(count), 'f', 0);
}
} // namespace

ProgressLabels LabelsAfter(double seq, double sequenceCount, float elapsed, float totalSeconds) {
    return {Whole(seq), Whole(sequenceCount - seq), FormatTime(elapsed, 0),
            FormatTime(totalSeconds - elapsed, 0)};
}

QString RunResult::endText() const {
    switch (end) {
    case Stopped:
        return QStringLiteral("Stop'd by User");
    case Terminated:
        return QStringLiteral("Terminated");
    default:
        return QStringLiteral("Completed");
    }
}

WaitPlan PlanWait(float seconds) {
    WaitPlan plan;
    if (!(seconds > 0)) return plan;
    // A pasted interval may be absurdly long; the count of minutes must stay defined.
    const double capped = std::min(double(seconds), 1e15);
    plan.minutes = qint64(capped / 60);
    const float rest = std::nearbyint(float(capped - double(plan.minutes) * 60));
    plan.restMs = int(rest) * 1000;
    return plan;
}
