#pragma once
// Cleaning an instrument's answer, and reading and writing numbers as text.
#include <QByteArray>
#include <QString>

extern QByteArray Exclude1; // exclusion patterns; empty: not used
extern QByteArray Exclude2;
extern bool DecNotation;         // convert answers to plain decimal notation
extern QString DecimalSeparator; // "." or ",", the user's number format

QByteArray ApplyExclusion(const QByteArray& response, const QByteArray& pattern);
// Both patterns in turn, the second on what the first left; an empty pattern is not used.
QByteArray ApplyExclusions(const QByteArray& response, const QByteArray& first,
                           const QByteArray& second);
double NumericValue(const QByteArray& text);
inline double NumericValue(const QString& text) {
    return NumericValue(text.toLatin1());
}
// 15 significant digits, leading space for values >= 0.
QByteArray NumberText(double value);
// The single-precision form: 7 significant digits.
QByteArray NumberText(float value);

struct DecimalNotation {
    QByteArray text;
    bool valid = false;
};
DecimalNotation ToDecimalNotation(const QByteArray& response);
QByteArray LocalizeDecimal(const QByteArray& response, const QString& separator);
// The user's decimal separator: "." or ",".
QString SystemDecimalSeparator();
