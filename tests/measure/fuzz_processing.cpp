// Feeds arbitrary answers and exclusion patterns through the answer-cleaning functions: none
// may crash, grow the answer, or give a number that does not survive writing and reading back.
// Input layout: first byte = pattern length (clipped to what is left), then the pattern, then
// the answer.
#include "measure/Processing.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto Check = [](bool ok) {
        if (!ok) std::abort();
    };
    const qsizetype n = qsizetype(std::min<size_t>(data[0], size - 1));
    const char* text = reinterpret_cast<const char*>(data + 1);
    const QByteArray pattern(text, n), answer(text + n, qsizetype(size - 1) - n);

    const QByteArray cleaned = ApplyExclusion(answer, pattern);
    Check(cleaned.size() <= answer.size());

    // Any text reads as a finite number that survives writing and reading back.
    const double value = NumericValue(answer);
    Check(std::isfinite(value) &&
          std::fabs(NumericValue(NumberText(value)) - value) <= std::fabs(value) * 1e-14);

    const DecimalNotation converted = ToDecimalNotation(cleaned);
    Check(converted.valid ==
          (!cleaned.isEmpty() && QByteArray("-0123456789").contains(cleaned[0])));
    Check(LocalizeDecimal(converted.text, QStringLiteral(",")).size() == converted.text.size());
    return 0;
}
