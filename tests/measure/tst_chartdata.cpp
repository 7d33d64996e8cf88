// The reduction of a chart's points to its pixel columns.
#include "measure/ChartData.h"

#include <QTest>
#include <cmath>

using chart::ChartData;
using Segments = QList<QList<QPointF>>;

namespace {
// A rising saw (no two equal extremes), a dip and a spike, and gaps from 300 to 449.
ChartData Saw() {
    ChartData data;
    for (int i = 0; i < 600; ++i)
        data.append(i, i == 77               ? -5
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
    // outside the window are drawn so that lines run to the edges. Points taken in one by one,
    // as a run adds them, draw the same.
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
        const ChartData all = Saw();
        QTEST(all.reduce(x0, x1, columns).segments, "segments");
        ChartData grown;
        chart::Reduced r = grown.reduce(x0, x1, columns);
        for (std::size_t i = 0; i < all.size(); ++i) {
            grown.append(all.x(i), all.y(i));
            if (!grown.extend(r)) r = grown.reduce(x0, x1, columns);
        }
        QTEST(r.segments, "segments");
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
};

QTEST_GUILESS_MAIN(TestChartData)
#include "tst_chartdata.moc"
