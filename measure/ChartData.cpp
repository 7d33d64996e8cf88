#include "measure/ChartData.h"

#include <algorithm>
#include <cmath>

namespace chart {

void Extremes::add(const Extremes& e) {
    gaps += e.gaps;
    if (e.numbers == 0) return;
    if (numbers == 0 || e.low < low) {
        low = e.low;
        lowAt = e.lowAt;
    }
    if (numbers == 0 || e.high > high) {
        high = e.high;
        highAt = e.highAt;
    }
    numbers += e.numbers;
}

Extremes ChartData::point(std::size_t i) const {
    Extremes e;
    if (std::isnan(ys_[i])) {
        e.gaps = 1;
    } else {
        e.low = e.high = ys_[i];
        e.lowAt = e.highAt = std::uint32_t(i);
        e.numbers = 1;
    }
    return e;
}

void ChartData::append(double x, double y) {
    if (!xs_.empty() && !(x >= xs_.back())) x = xs_.back();
    xs_.push_back(x);
    ys_.push_back(y);
    if (!std::isnan(y)) {
        low_ = anyNumber_ ? std::min(low_, y) : y;
        high_ = anyNumber_ ? std::max(high_, y) : y;
        anyNumber_ = true;
    }
    // Each block that the new point completes gets its extremes, level by level.
    std::size_t count = xs_.size();
    for (std::size_t level = 0; count % Fanout == 0; ++level, count /= Fanout) {
        if (levels_.size() <= level) levels_.emplace_back();
        Extremes e;
        for (std::size_t i = count - Fanout; i < count; ++i)
            e.add(level == 0 ? point(i) : levels_[level - 1][i]);
        levels_[level].push_back(e);
    }
}

void ChartData::clear() {
    *this = ChartData();
}

std::size_t ChartData::lowerBound(double x) const {
    return std::size_t(std::lower_bound(xs_.begin(), xs_.end(), x) - xs_.begin());
}

bool ChartData::yRange(double& low, double& high) const {
    low = low_;
    high = high_;
    return anyNumber_;
}

Extremes ChartData::range(std::size_t first, std::size_t last) const {
    Extremes e;
    // At each level, the loose ends are taken one by one and the whole blocks between them
    // from the level above.
    for (std::size_t level = 0; first < last; ++level) {
        const auto take = [&](std::size_t i) {
            ++cost_;
            e.add(level == 0 ? point(i) : levels_[level - 1][i]);
        };
        if (level > levels_.size() || last - first < 2 * Fanout) {
            for (std::size_t i = first; i < last; ++i)
                take(i);
            break;
        }
        while (first < last && first % Fanout != 0)
            take(first++);
        while (last > first && last % Fanout != 0)
            take(--last);
        first /= Fanout;
        last /= Fanout;
        if (level >= levels_.size() || last > levels_[level].size()) {
            // Blocks not yet summarised (cannot happen for whole blocks, but stay safe).
            first *= Fanout;
            last *= Fanout;
            for (std::size_t i = first; i < last; ++i)
                take(i);
            break;
        }
    }
    return e;
}

namespace {

void AddPoint(Reduced& r, const QPointF& p) {
    if (!r.lineOpen) r.segments.emplaceBack();
    r.lineOpen = true;
    r.segments.last().append(p);
}

Reduced::Mark MarkOf(const Reduced& r, int column) {
    return {r.segments.size(), r.segments.isEmpty() ? 0 : r.segments.last().size(), r.lineOpen,
            column};
}

void BackTo(Reduced& r, const Reduced::Mark& m) {
    r.segments.resize(m.segments);
    if (!r.segments.isEmpty()) r.segments.last().resize(m.points);
    r.lineOpen = m.lineOpen;
}

} // namespace

int ChartData::columnOf(const Reduced& r, double x) {
    const double width = (r.x1 - r.x0) / r.columns;
    int c = width > 0 ? int(std::clamp(std::floor((x - r.x0) / width) + 1, 1.0, double(r.columns)))
                      : r.columns;
    // The same bounds as the reduction's, rounding included.
    while (c > 1 && x < r.x0 + width * (c - 1))
        --c;
    while (c < r.columns && x >= r.x0 + width * c)
        ++c;
    return c;
}

Reduced ChartData::reduce(double x0, double x1, int columns) const {
    cost_ = 0;
    Reduced r;
    r.x0 = x0;
    r.x1 = x1;
    r.columns = std::max(columns, 1);
    if (xs_.empty() || !(x1 >= x0)) {
        r.end = r.first = xs_.size();
        r.beyond = true; // nothing to extend
        return r;
    }
    std::size_t first = lowerBound(x0);
    std::size_t last = std::size_t(std::upper_bound(xs_.begin(), xs_.end(), x1) - xs_.begin());
    if (first > 0) --first;
    r.beyond = last < xs_.size();
    if (r.beyond) ++last;
    r.first = first;
    r.end = last;

    r.raw = last - first <= 2 * std::size_t(r.columns);
    if (r.raw) {
        for (std::size_t i = first; i < last; ++i) {
            ++cost_;
            if (std::isnan(ys_[i]))
                r.lineOpen = false;
            else
                AddPoint(r, QPointF(xs_[i], ys_[i]));
        }
        return r;
    }

    // The neighbours outside the range stand alone; the columns between them are reduced.
    const double width = (x1 - x0) / r.columns;
    std::size_t from = first;
    for (int c = 0; c <= r.columns + 1 && from < last; ++c) {
        std::size_t to;
        if (c == 0)
            to = std::max(lowerBound(x0), from + 1);
        else if (c > r.columns)
            to = last;
        else if (c == r.columns)
            to = std::size_t(std::upper_bound(xs_.begin() + from, xs_.end(), x1) - xs_.begin());
        else
            to = lowerBound(x0 + width * c);
        to = std::clamp(to, from, last);
        if (to == from) continue;
        r.tail = MarkOf(r, c);
        r.tailExtremes = range(from, to);
        emitColumn(r, r.tailExtremes);
        from = to;
    }
    return r;
}

void ChartData::emitColumn(Reduced& r, const Extremes& e) const {
    // A gap narrower than a column cannot be seen; a column without any number breaks the line.
    if (e.numbers == 0) {
        r.lineOpen = false;
        return;
    }
    const std::uint32_t a = std::min(e.lowAt, e.highAt), b = std::max(e.lowAt, e.highAt);
    AddPoint(r, QPointF(xs_[a], ys_[a]));
    if (b != a) AddPoint(r, QPointF(xs_[b], ys_[b]));
}

bool ChartData::extend(Reduced& r) const {
    cost_ = 0;
    if (r.end == xs_.size()) return true;
    if (r.beyond || r.columns < 1) return false;
    if (r.raw) {
        if (xs_.size() - r.first > 2 * std::size_t(r.columns)) return false;
        for (; r.end < xs_.size() && !r.beyond; ++r.end) {
            ++cost_;
            r.beyond = xs_[r.end] > r.x1;
            if (std::isnan(ys_[r.end]))
                r.lineOpen = false;
            else
                AddPoint(r, QPointF(xs_[r.end], ys_[r.end]));
        }
        return true;
    }
    // Only the last column and the ones after it change: the earlier output stays.
    BackTo(r, r.tail);
    for (; r.end < xs_.size() && !r.beyond; ++r.end) {
        ++cost_;
        const double x = xs_[r.end];
        r.beyond = x > r.x1;
        const int c = r.beyond ? r.columns + 1 : columnOf(r, x);
        if (c != r.tail.column) {
            emitColumn(r, r.tailExtremes);
            r.tail = MarkOf(r, c);
            r.tailExtremes = {};
        }
        r.tailExtremes.add(point(r.end));
    }
    emitColumn(r, r.tailExtremes);
    return true;
}

std::ptrdiff_t ChartData::nearest(double x, double y, double xScale, double yScale) const {
    if (xs_.empty()) return -1;
    // Only the points near x in plot distance can be nearest: look out from x until the x
    // distance alone exceeds the best found.
    const std::size_t at = lowerBound(x);
    std::ptrdiff_t best = -1;
    double bestDistance = 0;
    const auto consider = [&](std::size_t i) {
        const double dx = (xs_[i] - x) * xScale;
        if (best >= 0 && dx * dx > bestDistance) return false;
        if (!std::isnan(ys_[i])) {
            const double dy = (ys_[i] - y) * yScale;
            const double d = dx * dx + dy * dy;
            if (best < 0 || d < bestDistance) {
                best = std::ptrdiff_t(i);
                bestDistance = d;
            }
        }
        return true;
    };
    constexpr std::size_t Limit = 4096; // enough for a pixel's worth around the cursor
    for (std::size_t i = at, n = 0; i < xs_.size() && n < Limit && consider(i); ++i, ++n) {
    }
    for (std::size_t i = at, n = 0; i > 0 && n < Limit && consider(i - 1); --i, ++n) {
    }
    return best;
}

} // namespace chart
