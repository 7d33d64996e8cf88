// The reduction of a chart's points to its pixel columns, checked as properties on random data.
#include "measure/ChartData.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <set>

using chart::ChartData;
using chart::Reduced;

namespace {
// Random walk with spikes and gaps; x grows by random steps and sometimes stands still.
ChartData RandomData(std::size_t n, double gapShare, QRandomGenerator& random) {
    ChartData data;
    double x = random.bounded(100.0), y = 0;
    for (std::size_t i = 0; i < n; ++i) {
        x += random.bounded(4) == 0 ? 0 : random.bounded(2.0);
        y += random.bounded(2.0) - 1;
        const double spike = random.bounded(50) == 0 ? random.bounded(200.0) - 100 : 0;
        data.append(x, random.bounded(1.0) < gapShare ? NAN : y + spike);
    }
    return data;
}
} // namespace

class TestChartData : public QObject {
    Q_OBJECT
private slots:
    // For random data, windows and widths: every column's smallest and largest number is drawn,
    // only real points are drawn, in order, and no line crosses a gap.
    void keepsExtremes_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<double>("gapShare");
        QTest::addColumn<int>("columns");
        QTest::newRow("few, raw") << 300 << 0.1 << 400;
        QTest::newRow("many, one column") << 5000 << 0.01 << 1;
        QTest::newRow("many, narrow") << 20000 << 0.0 << 37;
        QTest::newRow("many with gaps") << 100000 << 0.002 << 1600;
        QTest::newRow("mostly gaps") << 50000 << 0.9 << 640;
    }
    void keepsExtremes() {
        QFETCH(int, n);
        QFETCH(double, gapShare);
        QFETCH(int, columns);
        QRandomGenerator random(quint32(n + columns));
        const ChartData data = RandomData(std::size_t(n), gapShare, random);
        for (int round = 0; round < 20; ++round) {
            const double span = data.x(data.size() - 1) - data.x(0);
            double x0 = data.x(0) + random.bounded(span), x1 = data.x(0) + random.bounded(span);
            if (round == 0) x0 = data.x(0), x1 = data.x(data.size() - 1);
            if (x1 < x0) std::swap(x0, x1);
            const Reduced r = data.reduce(x0, x1, columns);

            const double width = (x1 - x0) / columns;
            std::vector<std::size_t> starts; // the first point of each column
            for (int c = 0; c <= columns; ++c)
                starts.push_back(data.lowerBound(x0 + width * c));
            const bool raw = starts.back() - starts.front() + 2 <= std::size_t(2 * columns);
            const auto hasNumber = [&](double x) {
                const std::size_t c =
                    std::upper_bound(starts.begin(), starts.end(), data.lowerBound(x)) -
                    starts.begin();
                if (c == 0 || c > std::size_t(columns)) return true; // a neighbour
                for (std::size_t i = starts[c - 1]; i < starts[c]; ++i)
                    if (!std::isnan(data.y(i))) return true;
                return false;
            };
            std::set<std::pair<double, double>> drawn;
            std::size_t previous = 0;
            for (const QList<QPointF>& segment : r.segments)
                for (qsizetype k = 0; k < segment.size(); ++k) {
                    // Each drawn point is a point of the data, found from its x and value.
                    std::size_t i = data.lowerBound(segment[k].x());
                    while (i < data.size() && data.y(i) != segment[k].y())
                        ++i;
                    QVERIFY(i < data.size() && data.x(i) == segment[k].x());
                    QVERIFY(i >= previous);
                    // Where points are few no line crosses a gap; else none crosses a column
                    // of gaps only.
                    if (k > 0)
                        for (std::size_t j = previous; j < i; ++j)
                            QVERIFY2(!std::isnan(data.y(j)) || (!raw && hasNumber(data.x(j))),
                                     "a line crosses a gap");
                    previous = i;
                    drawn.insert({segment[k].x(), segment[k].y()});
                }

            for (int c = 0; c < columns; ++c) {
                const double from = x0 + width * c,
                             to = c + 1 == columns ? x1 : x0 + width * (c + 1);
                double low = INFINITY, high = -INFINITY;
                std::size_t lowAt = 0, highAt = 0;
                for (std::size_t i = data.lowerBound(from);
                     i < data.size() && (data.x(i) < to || (c + 1 == columns && data.x(i) == to));
                     ++i) {
                    if (std::isnan(data.y(i))) continue;
                    if (data.y(i) < low) low = data.y(i), lowAt = i;
                    if (data.y(i) > high) high = data.y(i), highAt = i;
                }
                if (low > high) continue;
                QVERIFY(drawn.count({data.x(lowAt), low}) && drawn.count({data.x(highAt), high}));
            }
            // Never more points than two per column and the neighbours at the edges.
            qsizetype points = 0;
            for (const QList<QPointF>& segment : r.segments)
                points += segment.size();
            QVERIFY(points <= 2 * columns + 4);
        }
    }

    // Few points come back as they are, split at each gap.
    void fewPointsExactly() {
        ChartData data;
        const double ys[] = {1, NAN, 2, 3, NAN, NAN, 4, 5};
        for (int i = 0; i < 8; ++i)
            data.append(i, ys[i]);
        const Reduced r = data.reduce(0, 7, 1600);
        const QList<QList<QPointF>> expected = {{{0, 1}}, {{2, 2}, {3, 3}}, {{6, 4}, {7, 5}}};
        QCOMPARE(r.segments, expected);
        QCOMPARE(data.nearest(4.2, 3, 1, 1), 3);
        double low, high;
        QVERIFY(data.yRange(low, high) && low == 1 && high == 5);
    }

    // Points added during a run, taken in by extend, draw the same as a fresh reduction.
    void extendMatchesReduce() {
        QRandomGenerator random(5);
        const ChartData all = RandomData(30000, 0.01, random);
        ChartData data;
        for (const int columns : {50, 1600}) {
            data.clear();
            const double x0 = all.x(0), x1 = all.x(all.size() - 1) + 5;
            chart::Reduced r = data.reduce(x0, x1, columns);
            int redone = 0;
            for (std::size_t i = 0; i < all.size(); ++i) {
                data.append(all.x(i), all.y(i));
                if (!data.extend(r)) {
                    r = data.reduce(x0, x1, columns);
                    ++redone;
                }
                if (i % 97 == 0 || i + 1 == all.size())
                    QCOMPARE(r.segments, data.reduce(x0, x1, columns).segments);
            }
            QCOMPARE(redone, 2); // the first point, and the change from every point to extremes
        }
    }
};

QTEST_GUILESS_MAIN(TestChartData)
#include "tst_chartdata.moc"
