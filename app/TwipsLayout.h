#pragma once
// Fixed window layouts drawn at 15 twips per pixel, fitted to the screen and the font.
class QWidget;

// Scales every child's position and size, and the window's own size, by the screen's logical
// DPI and then further, separately across and down, until no caption, list entry or wrapped
// text is cut off at the window's font. Scaling both ways keeps the controls from overlapping.
void FitTwipsLayout(QWidget* window);
