#pragma once
// Windows whose controls are placed by position: the .ui files hold the positions at
// 15 twips per pixel (96 DPI). On the screen they are scaled to its logical DPI and, where the
// desktop's font is larger than the design's, enlarged evenly so no caption is cut.
#include <QSize>

class QLabel;
class QWidget;

namespace twips {

// The even factor for the window's children: logical DPI / 96, or more where a caption would
// not fit its control at the control's font.
double FitScale(const QWidget* window);

// Moves and sizes every control (those inside frames too) by the factor and fixes the
// window's size.
void Place(QWidget* window, QSize designClient, double scale);

// The factor, not below scale, at which a word-wrapping label of the given design size shows
// its whole text.
double FitWrapped(const QLabel* label, QSize design, double scale);

// The space a control's caption needs (its text at its font plus the control's own frame).
QSize CaptionNeed(const QWidget* control);

} // namespace twips
