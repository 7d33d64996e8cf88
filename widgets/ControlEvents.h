#pragma once
// The one translation of a control's key, double-click, focus and click events into the
// handlers every window names Window_Control_Event. Windows attach it to their controls instead
// of filtering events themselves, so every box behaves the same towards the keyboard.
#include <QObject>
#include <functional>

class QKeyEvent;
class QMenuBar;
class QWidget;

namespace ctl {

// The key code a KeyPress handler sees: 13 for Enter, 8 for Backspace, otherwise the typed
// character (whatever modifiers typed it, Alt and AltGr included). 0 for keys that type
// nothing: Delete, arrows, Home, End, function keys and Ctrl shortcuts, and for Tab, Shift+Tab
// and Escape, which keep their desktop meaning (next or previous control, cancel the dialog)
// and never reach a KeyPress handler.
int KeyAsciiOf(const QKeyEvent* event);

struct Handlers {
    // Gets the typed code and may change it: 0 drops the key, another code types that
    // character instead. Enter (13) never reaches the control's own handling.
    std::function<void(int& keyAscii)> keyPress{};
    std::function<void()> dblClick{}; // the control's own double-click action is suppressed
    std::function<void()> gotFocus{}; // focus that only follows a window change does not count
    std::function<void()> lostFocus{};
    std::function<void()> click{}; // a left click, for controls without a clicked signal
    // Where Tab goes instead of the next control in the window's order; null keeps the order.
    std::function<QWidget*()> tabTo{};
    // A released key, as Qt numbers it (Qt::Key_Down).
    std::function<void(int key)> keyUp{};
};

// Attaches the translation to a control; it lives as long as the control.
void Attach(QWidget* control, Handlers handlers);

// A menu's access key opens its menu: a button in the window whose caption has the same
// access key ("C&lear" beside "Too&ls") gives up that shortcut.
void PreferMenuAccessKeys(QMenuBar* menuBar, QWidget* window);

} // namespace ctl
