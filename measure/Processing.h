#pragma once
// Cleaning an instrument's answer, and reading and writing numbers as text.
#include "common/Numbers.h"
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

struct DecimalNotation {
    QByteArray text;
    bool valid = false;
};
DecimalNotation ToDecimalNotation(const QByteArray& response);
QByteArray LocalizeDecimal(const QByteArray& response, const QString& separator);
// The user's decimal separator: "." or ",".
QString SystemDecimalSeparator();
