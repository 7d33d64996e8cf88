#pragma once
// Reads a log this program wrote back into points for a chart: the measured value against the
// x-axis column the run logged. Bytes may come in pieces, so a log that a run is still writing
// is read as it grows.
#include <QByteArray>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace chart {

// Which logged column the points use as x: time from start when it was logged, else the PC
// time, else the sequence number.
enum class XColumn { Sequence, PcTime, TimeFromStart };

struct LogPoint {
    double x = 0;
    double y = 0; // NaN: the measured field was not a number (a gap in the chart)
};

class LogReader {
public:
    // Reads every complete line in bytes (and in what came before). False once a line could not
    // be read; error() then names it, and nothing more is read.
    bool feed(const QByteArray& bytes);
    // The file has ended: its last line counts even without a line end.
    bool finish();
    // The points read since the last take.
    std::vector<LogPoint> take();

    bool headerRead() const { return columns_ >= 0; }
    XColumn xColumn() const { return x_; }
    // The header's name of the x column ("Time From Start").
    QString xTitle() const;
    char decimalSeparator() const { return decimal_; }
    QString error() const { return error_; }
    // Rows whose measured field was not a number, the invalid-measurement end included.
    qint64 nonNumbers() const { return nonNumbers_; }
    // The run was ended by an invalid measurement; nothing follows.
    bool endedInvalid() const { return endedInvalid_; }

private:
    bool line(QByteArray text);
    bool fail(const QString& why);

    static constexpr qsizetype MaxLine = qsizetype(16) << 20;
    QByteArray pending_;
    qsizetype scanned_ = 0; // pending_ holds no line end before this
    qint64 lineNo_ = 0;
    bool sawLine_ = false;
    bool crlf_ = true;
    char decimal_ = ',';
    int columns_ = -1; // x columns before Measured; -1 until the header
    std::array<bool, 3> logged_{};
    XColumn x_ = XColumn::Sequence;
    int xField_ = 0;
    std::optional<double> lastTime_;
    double dayOffset_ = 0;
    QString error_;
    qint64 nonNumbers_ = 0;
    bool endedInvalid_ = false;
    int afterInvalid_ = 0;
    std::vector<LogPoint> points_;
};

// The number a measured field starts with (after leading spaces), with the file's decimal
// separator; none when it does not start with one.
std::optional<double> MeasuredNumber(const QByteArray& field, char decimal);
// "H:MM:SS" as the log writes time from start.
std::optional<double> ClockSeconds(const QByteArray& text);
// A time of day in any locale's form ("13:05:09", "1:05:09 PM", "13.05.09") as seconds.
std::optional<double> TimeOfDaySeconds(const QByteArray& text);

} // namespace chart
