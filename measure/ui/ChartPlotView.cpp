#include "measure/ui/ChartPlotView.h"

#include <QMouseEvent>
#include <QWheelEvent>

ChartPlotView::ChartPlotView(QWidget* parent) : QChartView(parent) {
    setRubberBand(QChartView::RectangleRubberBand);
    setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing, false); // many points: speed before smoothness
}

void ChartPlotView::wheelEvent(QWheelEvent* event) {
    QChart* c = chart();
    const QPointF at = event->position();
    if (!c || !c->plotArea().contains(at) || event->angleDelta().y() == 0) return;
    // One notch zooms by a quarter, about the point under the pointer.
    const qreal factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
    const QRectF area = c->plotArea();
    QRectF r(0, 0, area.width() * factor, area.height() * factor);
    r.moveCenter(at + (area.center() - at) * factor);
    c->zoomIn(r);
    emit userMoved();
    event->accept();
}

void ChartPlotView::mousePressEvent(QMouseEvent* event) {
    const bool pan = event->button() == Qt::RightButton || event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && event->modifiers() & Qt::ShiftModifier);
    if (pan) {
        panning_ = true;
        last_ = event->position();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    zooming_ = event->button() == Qt::LeftButton;
    last_ = event->position();
    QChartView::mousePressEvent(event);
}

void ChartPlotView::mouseMoveEvent(QMouseEvent* event) {
    if (panning_ && chart()) {
        const QPointF d = event->position() - last_;
        last_ = event->position();
        chart()->scroll(-d.x(), d.y());
        emit userMoved();
        event->accept();
        return;
    }
    if (chart() && chart()->plotArea().contains(event->position()))
        emit pointerAt(chart()->mapToValue(event->position()));
    QChartView::mouseMoveEvent(event);
}

void ChartPlotView::mouseReleaseEvent(QMouseEvent* event) {
    if (panning_) {
        panning_ = false;
        unsetCursor();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
    // A click without a drag zooms nothing.
    const QPointF dragged = event->position() - last_;
    if (zooming_ && event->button() == Qt::LeftButton && dragged.manhattanLength() > 4)
        emit userMoved();
    zooming_ = false;
}
