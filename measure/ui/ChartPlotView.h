#pragma once
// The chart's plot with the mouse of a measuring chart: drag a rectangle to zoom into it, turn
// the wheel to zoom about the pointer, drag with the right or middle button (or Shift and the
// left) to pan. It says when the user moved the view and where the pointer points.
#include <QtCharts/QChartView>

class ChartPlotView : public QChartView {
    Q_OBJECT
public:
    explicit ChartPlotView(QWidget* parent = nullptr);

signals:
    // The user zoomed or panned: the view no longer follows the data by itself.
    void userMoved();
    // The pointer is over the plot at this point of the chart's values.
    void pointerAt(QPointF value);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool panning_ = false;
    bool zooming_ = false;
    QPointF last_;
};
