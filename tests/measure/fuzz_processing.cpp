// Feeds arbitrary answers and exclusion patterns through the answer-cleaning functions.
// Input layout: first byte = pattern length (clipped to what is left), then the pattern, then
// the answer.
#include "measure/Processing.h"
#include "settings/TimeFormat.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// The text between the leading and trailing question marks of a pattern without a star.
QByteArray Core(const QByteArray& pattern) {
    qsizetype from = 0, to = pattern.size();
    while (from < to && pattern[from] == '?')
        ++from;
    while (to > from && pattern[to - 1] == '?')
        --to;
    return pattern.mid(from, to - from);
}

void CheckNumber(double v) {
    const QByteArray text = NumberText(v);
    Check(text.startsWith(' ') || text.startsWith('-'));
    if (!std::isfinite(v)) return;
    const double back = NumericValue(text);
    Check(std::fabs(back - v) <= std::fabs(v) * 1e-14);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t patternLength = std::min<size_t>(data[0], size - 1);
    const QByteArray pattern(reinterpret_cast<const char*>(data + 1),
                             static_cast<qsizetype>(patternLength));
    const QByteArray answer(reinterpret_cast<const char*>(data + 1 + patternLength),
                            static_cast<qsizetype>(size - 1 - patternLength));

    const QByteArray cleaned = ApplyExclusion(answer, pattern);
    Check(cleaned.size() <= answer.size());
    if (pattern.isEmpty()) Check(cleaned == answer);
    if (!pattern.contains('*')) {
        const QByteArray core = Core(pattern);
        if (core.isEmpty() || !answer.contains(core))
            Check(cleaned == answer);
        else
            Check(cleaned.size() <= answer.size() - core.size());
        if (!pattern.contains('?') && !pattern.isEmpty() && answer.contains(pattern)) {
            const qsizetype k = answer.indexOf(pattern);
            Check(cleaned == answer.left(k) + answer.mid(k + pattern.size()));
        }
    }

    const double value = NumericValue(answer);
    Check(!std::isnan(value) && !std::isinf(value));
    CheckNumber(value);
    const QByteArray single = NumberText(static_cast<float>(value));
    Check(single.startsWith(' ') || single.startsWith('-'));

    const DecimalNotation converted = ToDecimalNotation(cleaned);
    const bool startsWell =
        !cleaned.isEmpty() && (cleaned[0] == '-' || (cleaned[0] >= '0' && cleaned[0] <= '9'));
    Check(converted.valid == startsWell);
    Check(converted.valid ? converted.text == NumberText(NumericValue(cleaned))
                          : converted.text == cleaned);

    for (const char* separator : {".", ","}) {
        const QByteArray local = LocalizeDecimal(cleaned, QString::fromLatin1(separator));
        Check(local.size() == cleaned.size());
        qsizetype changed = 0;
        for (qsizetype i = 0; i < local.size(); ++i)
            changed += local[i] != cleaned[i];
        Check(changed <= 1);
    }

    if (answer.size() >= 4) {
        float seconds;
        std::memcpy(&seconds, answer.constData(), sizeof seconds);
        for (int mode = 0; mode <= 2; ++mode)
            (void)FormatTime(seconds, mode);
    }
    return 0;
}
