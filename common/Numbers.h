#pragma once
// Numbers read from and written as text, the way every box, setting and answer holds them.
#include <QByteArray>
#include <QString>

// The number at the start of a text: "." is the decimal point, blanks inside are skipped,
// "&H" and "&O" read hexadecimal and octal; an unreadable text gives 0.
double NumericValue(const QByteArray& text);
inline double NumericValue(const QString& text) {
    return NumericValue(text.toLatin1());
}
// 15 significant digits, leading space for values >= 0.
QByteArray NumberText(double value);
// The single-precision form: 7 significant digits.
QByteArray NumberText(float value);
