#pragma once
// The points of a chart and their reduction to what a plot of some pixel columns can show: each
// column keeps its smallest and its largest value, so no spike is lost. A gap (a row that was
// not a number) breaks the line where every point is drawn, and where a whole column is gaps.
// Blocks of points keep their extremes, so a reduction costs about the same however long the run,
// and so does adding a row.
#include <QList>
#include <QPointF>
#include <cstdint>
#include <vector>

namespace chart {

// The smallest and largest number among some points, where they are, and how many gaps.
struct Extremes {
    double low = 0, high = 0;
    std::uint32_t lowAt = 0, highAt = 0;
    std::uint32_t numbers = 0, gaps = 0;
    void add(const Extremes& e);
};

// The lines to draw: each segment is drawn joined; between segments lies a gap.
struct Reduced {
    QList<QList<QPointF>> segments;

    // What extend() needs to redo only the newest column.
    struct Mark {
        qsizetype segments = 0, points = 0; // the output before the last column
        bool lineOpen = false;
        int column = 0;
    };
    double x0 = 0, x1 = 0;
    int columns = 0;
    bool raw = false, lineOpen = false, beyond = false; // beyond: holds the point after x1
    std::size_t first = 0, end = 0;                     // the points looked at
    Mark tail;
    Extremes tailExtremes;
};

class ChartData {
public:
    // y NaN: a gap. x never runs back: an x below the last one is taken as the last.
    void append(double x, double y);
    void clear();
    std::size_t size() const { return xs_.size(); }
    double x(std::size_t i) const { return xs_[i]; }
    double y(std::size_t i) const { return ys_[i]; }
    // The index of the first point at or after x.
    std::size_t lowerBound(double x) const;
    // The point nearest to (x, y) in plot units scaled by (xScale, yScale) among the numbers
    // within the x range; -1 when there is none.
    std::ptrdiff_t nearest(double x, double y, double xScale, double yScale) const;
    // Smallest and largest number among all points; false when there is none.
    bool yRange(double& low, double& high) const;

    // The points from x0 to x1 (with one neighbour on each side, so lines run to the edges)
    // for a plot of the given pixel columns: every point when they are few, else each column's
    // extremes in their order.
    Reduced reduce(double x0, double x1, int columns) const;
    // Brings a reduction up to the points appended since, as a new reduce would, at the cost of
    // the new points alone. False when that cannot be (a point past x1, or too many for every
    // point to be drawn): then reduce again.
    bool extend(Reduced& r) const;
    // Points and block extremes the last reduce or extend looked at: its cost, for the tests.
    std::size_t lastCost() const { return cost_; }

private:
    Extremes range(std::size_t first, std::size_t last) const;
    Extremes point(std::size_t i) const;
    // The column of the reduction that x falls in, 1 to its number of columns.
    static int columnOf(const Reduced& r, double x);
    // Draws a column: its extremes in their order; a column of gaps only breaks the line.
    void emitColumn(Reduced& r, const Extremes& e) const;

    static constexpr std::size_t Fanout = 16;
    std::vector<double> xs_, ys_;
    // levels_[k][b]: the extremes of points b * 16^(k+1) up to the next block; whole blocks only.
    std::vector<std::vector<Extremes>> levels_;
    double low_ = 0, high_ = 0;
    bool anyNumber_ = false;
    mutable std::size_t cost_ = 0;
};

} // namespace chart
