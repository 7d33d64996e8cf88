#pragma once
// A chart as an SVG drawing: the same axes, lines, levels and marks the window shows, as
// vectors, at the window's size.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

namespace chart {

struct SvgChart {
    QSize size;
    QRectF plotArea; // in pixels within size
    QString title, xTitle, yTitle;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    QList<QPair<double, QString>> xTicks, yTicks; // value and label
    QList<QList<QPointF>> segments;               // in values; a single point is drawn as a dot
    QList<double> levels;                         // horizontal lines: targets and band
    QList<QPointF> marks;                         // where a condition was met
};

QByteArray ChartSvg(const SvgChart& chart);

} // namespace chart
