// Feeds arbitrary answers and exclusion patterns through the answer-cleaning functions.
// Input layout: first byte = pattern length (clipped to what is left), then the pattern, then
// the answer.
#include "common/Texts.h"
#include "measure/Processing.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto Check = [](bool ok) {
        if (!ok) std::abort();
    };
    const qsizetype n = qsizetype(std::min<size_t>(data[0], size - 1));
    const char* text = reinterpret_cast<const char*>(data + 1);
    const QByteArray pattern(text, n), answer(text + n, qsizetype(size - 1) - n);

    // Without a star: the first match of the text between the leading and trailing question
    // marks goes, with as many characters before (as far as there are) and after it.
    const QByteArray cleaned = ApplyExclusion(answer, pattern);
    qsizetype before = 0, to = n;
    while (before < to && pattern[before] == '?')
        ++before;
    while (to > before && pattern[to - 1] == '?')
        --to;
    const qsizetype k = before == to ? -1 : answer.indexOf(pattern.mid(before, to - before));
    if (!pattern.contains('*'))
        Check(cleaned == (k < 0 ? answer
                                : answer.left(std::max(k - before, qsizetype(0))) +
                                      answer.mid(k + n - before)));
    Check(cleaned.size() <= answer.size());

    // Any text reads as a finite number that survives writing and reading back.
    const double value = NumericValue(answer);
    Check(std::isfinite(value) &&
          std::fabs(NumericValue(NumberText(value)) - value) <= std::fabs(value) * 1e-14);
    for (const QByteArray& t : {NumberText(value), NumberText(float(value))})
        Check(QByteArray(" -").contains(t[0]));

    const DecimalNotation converted = ToDecimalNotation(cleaned);
    Check(converted.valid ==
          (!cleaned.isEmpty() && QByteArray("-0123456789").contains(cleaned[0])));
    Check(converted.text == (converted.valid ? NumberText(NumericValue(cleaned)) : cleaned));

    // The first separator of the other kind becomes the user's one.
    for (const char* pair : {".,", ",."}) {
        const qsizetype at = cleaned.indexOf(pair[1]);
        Check(LocalizeDecimal(cleaned, QString(QChar(pair[0]))) ==
              (at < 0 ? cleaned : cleaned.left(at) + pair[0] + cleaned.mid(at + 1)));
    }

    float seconds = 0; // must not trip the sanitizers, whatever the value
    std::memcpy(&seconds, answer.leftJustified(4, '\0').constData(), sizeof seconds);
    for (int mode = 0; mode <= 2; ++mode)
        (void)FormatTime(seconds, mode);
    return 0;
}
