#include "measure/TestQuery.h"
#include "bus/BusAccess.h"
#include "common/Texts.h"
#include "measure/Processing.h"

QByteArray TestAnswer(const QByteArray& answer, const QByteArray& exclude1,
                      const QByteArray& exclude2, bool toDecimal) {
    QByteArray shown = ApplyExclusions(answer, exclude1, exclude2);
    if (toDecimal) shown = NumberText(NumericValue(shown));
    return TrimSpaces(shown);
}

bool ConversionHidesAnswer(const QByteArray& shown, const QByteArray& exclude1,
                           const QByteArray& exclude2, bool toDecimal) {
    // Each term is tested on its own: a negative reading must not cancel the patterns' lengths.
    return toDecimal && NumericValue(shown) == 0 && exclude1.isEmpty() && exclude2.isEmpty();
}
