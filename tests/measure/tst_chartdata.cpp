// The reduction of a chart's points to its pixel columns.
#include "measure/ChartData.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>

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
    // Many points: each column keeps its smallest and largest number in their order (found
    // through the blocks' extremes), a column of gaps only breaks the line, and the neighbours
    // outside the window are drawn so that lines run to the edges.
    void keepsExtremes_data() {
        QTest::addColumn<double>("x0");
        QTest::addColumn<double>("x1");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QList<QList<QPointF>>>("segments");
        QTest::newRow("whole, a column of gaps")
            << 0.0 << 599.0 << 4
            << QList<QList<QPointF>>{{{0, 0}, {77, -5}, {149, 51}, {150, 3}, {233, 1000}},
                                     {{450, 9}, {599, 60}}};
        QTest::newRow("window, with neighbours")
            << 100.0 << 200.0 << 1
            << QList<QList<QPointF>>{{{99, 50}, {100, 2}, {199, 52}, {201, 5}}};
    }
    void keepsExtremes() {
        QFETCH(double, x0);
        QFETCH(double, x1);
        QFETCH(int, columns);
        // A rising saw (no two equal extremes), a dip and a spike, and gaps from 300 to 449.
        ChartData data;
        for (int i = 0; i < 600; ++i)
            data.append(i, i == 77               ? -5
                           : i == 233            ? 1000
                           : i >= 300 && i < 450 ? NAN
                                                 : i % 50 + i / 50);
        QTEST(data.reduce(x0, x1, columns).segments, "segments");
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
