#include "settings/Timing.h"
#include "common/Numbers.h"
#include "common/Texts.h"
#include <algorithm>
#include <cmath>
#include <cstdint>

const char* const TimingCaption = "  Timing  ";

namespace {
float ColonValue(QString text) {
    return float(NumericValue(text.replace(':', '.')));
}

float IntervalSecondsOf(const TimingEntries& e) {
    if (!e.minutes) return float(NumericValue(e.interval));
    float seconds = 0;
    const qsizetype colon = e.interval.indexOf(':');
    if (colon >= 0) seconds = float(NumericValue(e.interval.mid(colon + 1)));
    return float(NumericValue(e.interval)) * 60 + seconds;
}

float TotalSecondsOf(const QString& total) {
    const qsizetype colon = total.indexOf(':');
    if (colon < 0) return float(NumericValue(total)) * 3600;
    const float hours = colon == 0 ? 0.0f : float(NumericValue(total.left(colon)));
    const float minutes = float(NumericValue(total.mid(colon + 1)));
    return hours * 3600 + minutes * 60;
}
} // namespace

bool CanApplyTiming(const TimingEntries& e) {
    return ColonValue(e.interval) > 0 &&
           (float(NumericValue(e.count)) > 0 || ColonValue(e.total) > 0);
}

AppliedTiming ApplyTiming(const TimingEntries& e) {
    AppliedTiming r;
    r.intervalSeconds = IntervalSecondsOf(e);
    // The key filter keeps a zero interval out, but pasted text does not pass through it; a
    // zero interval would divide by zero below and make a run measure without pause.
    if (!(r.intervalSeconds > 0)) return r;
    r.applied = true;
    r.count = e.count;
    if (!e.total.isEmpty()) {
        const float total = TotalSecondsOf(e.total) + r.intervalSeconds;
        float n = total / r.intervalSeconds;
        if (n - std::floor(n) > 0) {
            n = std::floor(n) + 1;
            r.mismatch = "Total Minutes and Time Interval don't match exactly.\n"
                         "Number of Sequences will be rounded up to " +
                         FormatTime((n - 1) * r.intervalSeconds, 1) + ".";
        }
        r.count = QString::fromLatin1(NumberText(n)).trimmed();
    }
    r.totalSeconds = r.intervalSeconds * float(NumericValue(r.count)) - r.intervalSeconds;
    QString unit = e.minutes ? " minute" : " second";
    if (NumericValue(e.interval) > 1) unit += "s";
    r.caption = "  Every " + e.interval.trimmed() + unit + " during " +
                FormatTime(r.totalSeconds, 1) + "  ";
    return r;
}

int TimingKey(int index, int keyAscii, const TimingEntries& e) {
    if (keyAscii == 8 || (keyAscii >= '0' && keyAscii <= '9')) return keyAscii;
    if (keyAscii == ':' || keyAscii == ',' || keyAscii == '.') {
        const bool accepted = index == 2 || (index == 0 && e.minutes);
        const QString& text = index == 0 ? e.interval : index == 1 ? e.count : e.total;
        return accepted && !text.contains(':') ? ':' : 0;
    }
    return 0;
}
