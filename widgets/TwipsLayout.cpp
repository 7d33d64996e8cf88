#include "widgets/TwipsLayout.h"
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace twips {

namespace {
QString Caption(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("&&"), QLatin1String("\x01"));
    shown.remove(QLatin1Char('&'));
    shown.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return shown;
}
} // namespace

QSize CaptionNeed(const QWidget* control) {
    const QFontMetrics fm = control->fontMetrics();
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return {fm.horizontalAdvance(Caption(label->text())) + 2 * label->margin(), fm.height()};
    if (qobject_cast<const QCheckBox*>(control) || qobject_cast<const QRadioButton*>(control))
        return {control->sizeHint().width(), fm.height()};
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return {fm.horizontalAdvance(Caption(button->text())) + 8, fm.height() + 2};
    if (qobject_cast<const QLineEdit*>(control)) return {0, fm.height() + 2};
    return {0, 0};
}

double FitScale(const QWidget* window) {
    double scale = window->logicalDpiX() / 96.0;
    for (const QWidget* child : window->findChildren<QWidget*>()) {
        const QSize need = CaptionNeed(child);
        const QRect at = child->geometry();
        if (at.width() > 0) scale = std::max(scale, double(need.width()) / at.width());
        if (at.height() > 0) scale = std::max(scale, double(need.height()) / at.height());
    }
    // A little over, so rounding each position down never cuts a caption by a pixel.
    return std::ceil(scale * 20) / 20;
}

double FitWrapped(const QLabel* label, QSize design, double scale) {
    // Wider means fewer lines, so growing the factor always ends.
    while (label->heightForWidth(int(std::lround(design.width() * scale))) >
           int(std::lround(design.height() * scale)))
        scale += 0.05;
    return scale;
}

namespace {
// Controls inside a frame are placed relative to it; the parts a control is built of are not
// placed at all.
void PlaceChildren(QWidget* parent, double scale) {
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect at = child->geometry();
        child->setGeometry(int(std::lround(at.x() * scale)), int(std::lround(at.y() * scale)),
                           int(std::lround(at.width() * scale)),
                           int(std::lround(at.height() * scale)));
        if (qobject_cast<QGroupBox*>(child)) PlaceChildren(child, scale);
    }
}
} // namespace

void Place(QWidget* window, QSize designClient, double scale) {
    PlaceChildren(window, scale);
    window->setFixedSize(int(std::lround(designClient.width() * scale)),
                         int(std::lround(designClient.height() * scale)));
}

} // namespace twips
