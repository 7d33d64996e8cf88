// Feeds arbitrary bytes to the log reader, whole and in pieces. Input layout: first byte = the
// size of the pieces, then the file.
#include "measure/LogReader.h"

#include <cmath>
#include <cstdlib>

namespace {
using chart::LogPoint;
using chart::LogReader;

LogReader Read(const QByteArray& file, qsizetype piece, std::vector<LogPoint>& points) {
    LogReader reader;
    for (qsizetype at = 0; at < file.size() && reader.feed(file.mid(at, piece)); at += piece) {
    }
    reader.finish();
    points = reader.take();
    return reader;
}

void Check(bool ok) {
    if (!ok) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    std::vector<LogPoint> a, b;
    const LogReader whole = Read(file, file.size() + 1, a);
    const LogReader pieces = Read(file, data[0] % 17 + 1, b);

    // However the file arrives, the same points, the same error, the same count of gaps.
    // Every x is finite, every value a finite number or a gap; an error names its line.
    Check(whole.error() == pieces.error() && whole.nonNumbers() == pieces.nonNumbers());
    Check(a.size() == b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        Check(a[i].x == b[i].x && (a[i].y == b[i].y || (std::isnan(a[i].y) && std::isnan(b[i].y))));
        Check(std::isfinite(a[i].x) && (std::isnan(a[i].y) || std::isfinite(a[i].y)));
    }
    Check(whole.error().isEmpty() || whole.error().startsWith(QStringLiteral("Line ")));
    return 0;
}
