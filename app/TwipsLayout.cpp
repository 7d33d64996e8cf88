#include "app/TwipsLayout.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cmath>

namespace {
constexpr double DesignDpi = 96; // 1440 twips per inch / 15 twips per pixel

// The size a control needs to show its content at its font; empty when its size is free.
QSize Needed(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->wordWrap()) return {};
        return label->sizeHint();
    }
    if (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w))
        return w->sizeHint();
    if (auto* line = qobject_cast<const QLineEdit*>(w))
        return {0, line->minimumSizeHint().height()};
    return {};
}

// The controls placed by the layout: the window's own and those inside its frames, not the
// parts a control is built from.
void CollectPlaced(QWidget* parent, QList<QWidget*>& placed) {
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow()) continue;
        placed << w;
        if (qobject_cast<QGroupBox*>(w)) CollectPlaced(w, placed);
    }
}

int Scaled(int v, double f) {
    return int(std::lround(v * f));
}
} // namespace

void FitTwipsLayout(QWidget* window) {
    const double dpi = window->logicalDpiX() / DesignDpi;
    QList<QWidget*> children;
    CollectPlaced(window, children);
    double fx = dpi, fy = dpi;
    for (const QWidget* w : children) {
        const QSize need = Needed(w);
        if (need.width() > 0 && w->width() > 0)
            fx = std::max(fx, double(need.width()) / w->width());
        if (need.height() > 0 && w->height() > 0)
            fy = std::max(fy, double(need.height()) / w->height());
    }
    // Wrapped text needs a height for the width it ends up with.
    for (const QWidget* w : children) {
        auto* label = qobject_cast<const QLabel*>(w);
        if (!label || !label->wordWrap() || w->height() <= 0) continue;
        const int height = label->heightForWidth(Scaled(w->width(), fx));
        fy = std::max(fy, double(height) / w->height());
    }
    // Group box titles sit above the first row of their controls.
    for (const QWidget* w : children) {
        auto* frame = qobject_cast<const QGroupBox*>(w);
        if (!frame) continue;
        int top = frame->height();
        for (const QWidget* inner : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            top = std::min(top, inner->y());
        const int title = frame->fontMetrics().height();
        if (top > 0) fy = std::max(fy, double(title) / top);
    }
    for (QWidget* w : children)
        w->setGeometry(Scaled(w->x(), fx), Scaled(w->y(), fy), Scaled(w->width(), fx),
                       Scaled(w->height(), fy));
    window->setFixedSize(Scaled(window->width(), fx), Scaled(window->height(), fy));
}
