// Feeds arbitrary bytes to the log reader, whole and in pieces. Input layout: first byte = the
// size of the pieces, then the file.
#include "measure/LogReader.h"

#include <cmath>
#include <cstdlib>

namespace {
struct Outcome {
    std::vector<chart::LogPoint> points;
    QString error;
    qint64 nonNumbers = 0;
};

Outcome Read(const QByteArray& file, qsizetype piece) {
    chart::LogReader reader;
    Outcome out;
    for (qsizetype at = 0; at < file.size() && reader.feed(file.mid(at, piece)); at += piece) {
    }
    reader.finish();
    out.points = reader.take();
    out.error = reader.error();
    out.nonNumbers = reader.nonNumbers();
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto Check = [](bool ok) {
        if (!ok) std::abort();
    };
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const Outcome whole = Read(file, file.size() + 1);
    const Outcome pieces = Read(file, data[0] % 17 + 1);

    // However the file arrives, the same points, the same error, the same count of gaps.
    Check(whole.error == pieces.error && whole.nonNumbers == pieces.nonNumbers);
    Check(whole.points.size() == pieces.points.size());
    qint64 gaps = 0;
    for (std::size_t i = 0; i < whole.points.size(); ++i) {
        const chart::LogPoint &a = whole.points[i], &b = pieces.points[i];
        Check(a.x == b.x && (a.y == b.y || (std::isnan(a.y) && std::isnan(b.y))));
        // Every x is finite, every value a finite number or a gap. (x may run back in a
        // file that is not the program's own; the chart's data holds it at the last x.)
        Check(std::isfinite(a.x));
        Check(std::isnan(a.y) || std::isfinite(a.y));
        gaps += std::isnan(a.y);
    }
    Check(gaps <= whole.nonNumbers && whole.nonNumbers <= gaps + 1);
    // An error names its line.
    Check(whole.error.isEmpty() || whole.error.startsWith(QStringLiteral("Line ")));
    return 0;
}
