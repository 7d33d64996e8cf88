#pragma once
// The one refusal of every window while a bus transaction is under way (bus/BusActivity.h).
// Each window declares, in its ConnectHandlers, the controls and menu items that start bus
// traffic or change what a transaction talks to. While a transaction lasts, anywhere in the
// program, the declared widgets and everything inside them get no mouse button, key, shortcut,
// wheel, context menu, text input or drop; the declared actions are disabled. Tab, Shift+Tab
// and Escape keep their meaning. The gate never sets a widget's enabled state, and an action's
// own state is back when the transaction ends, so the window's handlers keep theirs.
#include <QList>

class QAction;
namespace gpib {
class BusActivity;
}
class QCloseEvent;
class QWidget;

namespace ctl {

void RefuseDuringBus(gpib::BusActivity& activity, QWidget* window, const QList<QWidget*>& controls,
                     const QList<QAction*>& actions = {});

// For the closeEvent of a window that declared its controls: while a transaction is under way
// the close is refused (true), an operation of several calls stops before its next step, and
// the window is closed again once the transaction has ended. A bus call cannot be taken back,
// and every box it raises meanwhile is shown and answered as usual.
bool CloseWaitsForBus(QWidget* window, QCloseEvent* event);

} // namespace ctl
