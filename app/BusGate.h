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
class QWidget;

namespace ctl {

void RefuseDuringBus(QWidget* window, const QList<QWidget*>& controls,
                     const QList<QAction*>& actions = {});

} // namespace ctl
