// The reduction of a chart's points to its pixel columns.
#include "measure/ChartData.h"

#include <QTest>
#include <cmath>

using chart::ChartData;
using Segments = QList<QList<QPointF>>;

namespace {
// A rising saw (no two equal extremes), a dip and a spike, and gaps from 300 to 449. x is
// i / xStep: with 2 it stands still every other point.
ChartData Saw(int xStep) {
    ChartData data;
    for (int i = 0; i < 600; ++i)
        data.append(i / xStep, i == 77               ? -5
                               : i == 233            ? 1000
                               : i >= 300 && i < 450 ? NAN
                                                     : i % 50 + i / 50);
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
        QTest::addColumn<Segments>("segments");
        QTest::newRow("whole, a column of gaps")
            << 0.0 << 599.0 << 4
            << Segments{{{0, 0}, {77, -5}, {149, 51}, {150, 3}, {233, 1000}},
                        {{450, 9}, {599, 60}}};
        QTest::newRow("window, with neighbours")
            << 100.0 << 200.0 << 1 << Segments{{{99, 50}, {100, 2}, {199, 52}, {201, 5}}};
    }
    void keepsExtremes() {
        QFETCH(double, x0);
        QFETCH(double, x1);
        QFETCH(int, columns);
        QTEST(Saw(1).reduce(x0, x1, columns).segments, "segments");
    }

    // Few points come back as they are, split at each gap.
    void fewPointsExactly() {
        ChartData data;
        const double ys[] = {1, NAN, 2, 3, NAN, NAN, 4, 5};
        for (int i = 0; i < 8; ++i)
            data.append(i, ys[i]);
        QCOMPARE(data.reduce(0, 7, 1600).segments,
                 (Segments{{{0, 1}}, {{2, 2}, {3, 3}}, {{6, 4}, {7, 5}}}));
        QCOMPARE(data.nearest(4.2, 3, 1, 1), 3);
    }

    // Points added during a run, taken in by extend, draw the same as a fresh reduction.
    void extendMatchesReduce() {
        const ChartData all = Saw(2);
        for (const int columns : {20, 100}) {
            ChartData data;
            chart::Reduced r = data.reduce(0, 300, columns);
            int redone = 0;
            for (std::size_t i = 0; i < all.size(); ++i) {
                data.append(all.x(i), all.y(i));
                if (!data.extend(r)) {
                    r = data.reduce(0, 300, columns);
                    ++redone;
                }
                QCOMPARE(r.segments, data.reduce(0, 300, columns).segments);
            }
            QCOMPARE(redone, 2); // the first point, and the change from every point to extremes
        }
    }
};

QTEST_GUILESS_MAIN(TestChartData)
#include "tst_chartdata.moc"
