#pragma once
// Cleaning an instrument's answer: the exclusions, plain decimal notation and the user's decimal
// separator, and the settings a run cleans its answers with.
#include "common/Numbers.h"
#include <QByteArray>
#include <QString>

// How a run cleans and writes each answer.
struct MeasurementSettings {
    QByteArray Exclude1{}; // exclusion patterns; empty: not used
    QByteArray Exclude2{};
    bool DecNotation = false;                       // convert answers to plain decimal notation
    QString DecimalSeparator = QStringLiteral("."); // "." or ",", the user's number format
    // The identification text and the query of the settings set last recalled (the query also
    // as the test dialog last accepted it): they tell for which instrument the exclusions were
    // made.
    QString DeviceID{};
    QString MeasQuery{};
    bool operator==(const MeasurementSettings&) const = default;
};

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
