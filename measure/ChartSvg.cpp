#include "measure/ChartSvg.h"

namespace chart {

namespace {

QByteArray Escaped(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

QByteArray Num(double v) {
    return QByteArray::number(v, 'f', 2);
}

} // namespace

QByteArray ChartSvg(const SvgChart& c) {
    const QRectF a = c.plotArea;
    const double sx = c.x1 > c.x0 ? a.width() / (c.x1 - c.x0) : 0;
    const double sy = c.y1 > c.y0 ? a.height() / (c.y1 - c.y0) : 0;
    const auto px = [&](double x) { return a.left() + (x - c.x0) * sx; };
    const auto py = [&](double y) { return a.bottom() - (y - c.y0) * sy; };

    QByteArray s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                   QByteArray::number(c.size.width()) + "\" height=\"" +
                   QByteArray::number(c.size.height()) + "\" font-family=\"sans-serif\" " +
                   "font-size=\"11\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    s += "<text x=\"" + Num(a.center().x()) + "\" y=\"" + Num(a.top() / 2 + 5) +
         "\" text-anchor=\"middle\" font-size=\"14\">" + Escaped(c.title) + "</text>\n";
    s += "<rect x=\"" + Num(a.left()) + "\" y=\"" + Num(a.top()) + "\" width=\"" + Num(a.width()) +
         "\" height=\"" + Num(a.height()) + "\" fill=\"none\" stroke=\"#808080\"/>\n";
    for (const auto& [x, label] : c.xTicks)
        s += "<line x1=\"" + Num(px(x)) + "\" y1=\"" + Num(a.top()) + "\" x2=\"" + Num(px(x)) +
             "\" y2=\"" + Num(a.bottom()) + "\" stroke=\"#e0e0e0\"/><text x=\"" + Num(px(x)) +
             "\" y=\"" + Num(a.bottom() + 14) + "\" text-anchor=\"middle\">" + Escaped(label) +
             "</text>\n";
    for (const auto& [y, label] : c.yTicks)
        s += "<line x1=\"" + Num(a.left()) + "\" y1=\"" + Num(py(y)) + "\" x2=\"" + Num(a.right()) +
             "\" y2=\"" + Num(py(y)) + "\" stroke=\"#e0e0e0\"/><text x=\"" + Num(a.left() - 4) +
             "\" y=\"" + Num(py(y) + 4) + "\" text-anchor=\"end\">" + Escaped(label) + "</text>\n";
    s += "<text x=\"" + Num(a.center().x()) + "\" y=\"" + Num(a.bottom() + 30) +
         "\" text-anchor=\"middle\">" + Escaped(c.xTitle) + "</text>\n";
    s += "<text transform=\"translate(" + Num(a.left() - 48) + "," + Num(a.center().y()) +
         ") rotate(-90)\" text-anchor=\"middle\">" + Escaped(c.yTitle) + "</text>\n";

    // The data only inside the plot, as on the screen.
    s += "<clipPath id=\"plot\"><rect x=\"" + Num(a.left()) + "\" y=\"" + Num(a.top()) +
         "\" width=\"" + Num(a.width()) + "\" height=\"" + Num(a.height()) +
         "\"/></clipPath>\n<g clip-path=\"url(#plot)\">\n";
    for (double level : c.levels)
        s += "<line x1=\"" + Num(a.left()) + "\" y1=\"" + Num(py(level)) + "\" x2=\"" +
             Num(a.right()) + "\" y2=\"" + Num(py(level)) +
             "\" stroke=\"#d08000\" stroke-dasharray=\"6,4\"/>\n";
    for (const QList<QPointF>& segment : c.segments) {
        if (segment.size() == 1) {
            s += "<circle cx=\"" + Num(px(segment[0].x())) + "\" cy=\"" + Num(py(segment[0].y())) +
                 "\" r=\"2\" fill=\"#2060c0\"/>\n";
            continue;
        }
        s += "<polyline fill=\"none\" stroke=\"#2060c0\" points=\"";
        for (const QPointF& p : segment)
            s += Num(px(p.x())) + ',' + Num(py(p.y())) + ' ';
        s.chop(1);
        s += "\"/>\n";
    }
    for (const QPointF& m : c.marks)
        s += "<circle cx=\"" + Num(px(m.x())) + "\" cy=\"" + Num(py(m.y())) +
             "\" r=\"5\" fill=\"none\" stroke=\"#c00000\" stroke-width=\"2\"/>\n";
    return s + "</g>\n</svg>\n";
}

} // namespace chart
