#pragma once
// What the query test dialog shows of an answer, and when it gives up the conversion.
#include <QByteArray>

// The run's exclusions, then, when asked, the number at the start of the answer in plain
// decimal notation (0 when it starts with no number: there is no validity test here, and the
// decimal separator stays "."), without outer spaces.
QByteArray TestAnswer(const QByteArray& answer, const QByteArray& exclude1,
                      const QByteArray& exclude2, bool toDecimal);

// The conversion is switched off when the shown answer reads as 0 while no exclusion is
// defined: typically an answer that begins with a letter, which the conversion would hide.
bool ConversionHidesAnswer(const QByteArray& shown, const QByteArray& exclude1,
                           const QByteArray& exclude2, bool toDecimal);
