#include "measure/LogReader.h"

#include <QList>
#include <QLocale>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace chart {

namespace {

const char* const ColumnNames[3] = {"Time", "Time From Start", "Sequence"};
const QByteArray InvalidRow = "Invalid Measurement, Sequence terminated by program.";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits only, at least one.
std::optional<double> Whole(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 18) return std::nullopt;
    double v = 0;
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

QString Shown(const QByteArray& text) {
    const QString s = QString::fromLatin1(text.left(40));
    return text.size() > 40 ? s + QStringLiteral("...") : s;
}

} // namespace

std::optional<double> MeasuredNumber(const QByteArray& field, char decimal) {
    qsizetype i = 0;
    const qsizetype n = field.size();
    while (i < n && field[i] == ' ')
        ++i;
    QByteArray number;
    if (i < n && (field[i] == '+' || field[i] == '-')) number += field[i++];
    int digits = 0;
    while (i < n && IsDigit(field[i])) {
        number += field[i++];
        ++digits;
    }
    if (i < n && field[i] == decimal) {
        number += '.';
        ++i;
        while (i < n && IsDigit(field[i])) {
            number += field[i++];
            ++digits;
        }
    }
    if (digits == 0) return std::nullopt;
    // An exponent counts only when digits follow it ("1.5E" is 1.5 and a letter).
    if (i + 1 < n && QByteArray("EeDd").contains(field[i])) {
        qsizetype j = i + 1;
        QByteArray exponent = "E";
        if (field[j] == '+' || field[j] == '-') exponent += field[j++];
        const qsizetype firstDigit = j;
        while (j < n && IsDigit(field[j]))
            exponent += field[j++];
        if (j > firstDigit) number += exponent;
    }
    const double v = std::strtod(number.constData(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<double> ClockSeconds(const QByteArray& text) {
    const QList<QByteArray> parts = text.split(':');
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    double seconds = 0;
    for (const QByteArray& part : parts) {
        const std::optional<double> v = Whole(part);
        if (!v) return std::nullopt;
        seconds = seconds * 60 + *v;
    }
    return seconds;
}

std::optional<double> TimeOfDaySeconds(const QByteArray& text) {
    std::array<int, 3> hms{};
    int groups = 0;
    for (qsizetype i = 0; i < text.size();) {
        if (!IsDigit(text[i])) {
            ++i;
            continue;
        }
        if (groups == 3) return std::nullopt;
        int v = 0;
        int length = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++length) {
            if (length == 2) return std::nullopt; // no field of a time has three digits
            v = v * 10 + (text[i] - '0');
        }
        hms[groups++] = v;
    }
    if (groups < 2) return std::nullopt;
    const QByteArray lower = text.toLower();
    const auto marks = [&](const char* latin, const QString& local) {
        const QByteArray own = local.toLocal8Bit().toLower();
        return lower.contains(latin) || (!own.isEmpty() && lower.contains(own));
    };
    const QLocale locale = QLocale::system();
    const bool pm = marks("pm", locale.pmText()) || lower.contains("p.m.");
    const bool am = !pm && (marks("am", locale.amText()) || lower.contains("a.m."));
    if ((am || pm) && (hms[0] < 1 || hms[0] > 12)) return std::nullopt;
    if (pm && hms[0] < 12) hms[0] += 12;
    if (am && hms[0] == 12) hms[0] = 0;
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 60) return std::nullopt;
    return hms[0] * 3600.0 + hms[1] * 60.0 + hms[2];
}

QString LogReader::xTitle() const {
    const int column = x_ == XColumn::PcTime ? 0 : x_ == XColumn::TimeFromStart ? 1 : 2;
    return QString::fromLatin1(ColumnNames[column]);
}

bool LogReader::fail(const QString& why) {
    error_ = QStringLiteral("Line %1: %2").arg(lineNo_).arg(why);
    pending_.clear();
    return false;
}

bool LogReader::feed(const QByteArray& bytes) {
    if (!error_.isEmpty()) return false;
    pending_ += bytes;
    qsizetype start = 0;
    for (qsizetype from = scanned_;;) {
        const qsizetype end = pending_.indexOf('\n', from);
        if (end < 0) break;
        const bool cr = end > start && pending_[end - 1] == '\r';
        if (!sawLine_) {
            sawLine_ = true;
            crlf_ = cr;
        }
        // The writer ends lines with CR LF, so a lone LF there belongs to an answer.
        if (crlf_ && !cr) {
            from = end + 1;
            continue;
        }
        const bool ok = line(pending_.mid(start, end - start - (cr ? 1 : 0)));
        if (!ok) return false;
        start = from = end + 1;
    }
    pending_.remove(0, start);
    scanned_ = std::max<qsizetype>(0, pending_.size() - 1); // a CR may wait for its LF
    if (pending_.size() > MaxLine)
        return fail(QStringLiteral("a line longer than %1 MB").arg(MaxLine >> 20));
    return true;
}

bool LogReader::finish() {
    if (!error_.isEmpty()) return false;
    const QByteArray rest = std::exchange(pending_, {});
    scanned_ = 0;
    if (!rest.isEmpty() && !line(rest.endsWith('\r') ? rest.chopped(1) : rest)) return false;
    if (!headerRead()) {
        ++lineNo_;
        return fail(QStringLiteral("the file ends before the header of a log"));
    }
    return true;
}

std::vector<LogPoint> LogReader::take() {
    return std::exchange(points_, {});
}

bool LogReader::line(QByteArray text) {
    ++lineNo_;
    if (lineNo_ == 1 && text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    if (endedInvalid_) {
        // The invalid answer stands alone on the line after the notice; a run writes nothing
        // after it.
        if (++afterInvalid_ > 1 && !text.isEmpty())
            return fail(QStringLiteral("text after the end of the run"));
        return true;
    }
    if (columns_ < 0) {
        if (text == "sep=;" && lineNo_ == 1) {
            decimal_ = '.';
            return true;
        }
        const QList<QByteArray> names = text.split(';');
        if (names.size() < 2 || names.size() > 4 || names.last() != "Measured")
            return fail(QStringLiteral("\"%1\" is not the header of a log (such as "
                                       "\"Time;Sequence;Measured\")")
                            .arg(Shown(text)));
        int at = 0;
        for (int c = 0; c < 3; ++c)
            if (at < names.size() - 1 && names[at] == ColumnNames[c]) {
                logged_[c] = true;
                ++at;
            }
        if (at != names.size() - 1)
            return fail(QStringLiteral("\"%1\" is not the header of a log (such as "
                                       "\"Time;Sequence;Measured\")")
                            .arg(Shown(text)));
        columns_ = at;
        x_ = logged_[1] ? XColumn::TimeFromStart : logged_[0] ? XColumn::PcTime : XColumn::Sequence;
        xField_ = x_ == XColumn::TimeFromStart ? (logged_[0] ? 1 : 0) : 0;
        return true;
    }
    if (text.isEmpty()) return true;
    if (text == InvalidRow) {
        endedInvalid_ = true;
        ++nonNumbers_;
        return true;
    }

    // The measured field is everything after the x fields: an answer may hold ";".
    QList<QByteArray> fields;
    qsizetype from = 0;
    for (int c = 0; c < columns_; ++c) {
        const qsizetype semicolon = text.indexOf(';', from);
        if (semicolon < 0)
            return fail(
                QStringLiteral("\"%1\" has fewer fields than the header names").arg(Shown(text)));
        fields << text.mid(from, semicolon - from);
        from = semicolon + 1;
    }
    const QByteArray measured = text.mid(from);

    const QByteArray& xText = fields[xField_];
    std::optional<double> x;
    if (x_ == XColumn::Sequence)
        x = Whole(xText);
    else if (x_ == XColumn::TimeFromStart)
        x = ClockSeconds(xText);
    else
        x = TimeOfDaySeconds(xText);
    if (!x) return fail(QStringLiteral("\"%1\" is not a %2 value").arg(Shown(xText), xTitle()));
    if (x_ == XColumn::PcTime) {
        // Past midnight the time of day starts again; a clock set back a little must not make
        // the points run backwards.
        if (lastTime_ && *x + dayOffset_ < *lastTime_ - 12 * 3600.0) dayOffset_ += 24 * 3600.0;
        *x += dayOffset_;
        if (lastTime_ && *x < *lastTime_) *x = *lastTime_;
        lastTime_ = *x;
    }
    const std::optional<double> y = MeasuredNumber(measured, decimal_);
    if (!y) ++nonNumbers_;
    points_.push_back({*x, y ? *y : std::numeric_limits<double>::quiet_NaN()});
    return true;
}

} // namespace chart
