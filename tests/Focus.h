#pragma once
// Keyboard focus in window tests: a window shown as the active one, and Tab's round trip.
#include <QApplication>
#include <QTest>
#include <QWidget>

// Shows a window and makes it the active one, so that focus and keys reach its controls.
inline bool ShowActive(QWidget* window) {
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

// Tab takes the focus from a control to another one, and Shift+Tab brings it back.
inline bool TabLeavesAndReturns(QWidget* control) {
    QTest::keyClick(control, Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    if (!next || next == control) return false;
    QTest::keyClick(next, Qt::Key_Backtab, Qt::ShiftModifier);
    return QApplication::focusWidget() == control;
}
