#include "widgets/BusGate.h"
#include "bus/BusActivity.h"
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace ctl {

namespace {

// Input that could start something; focus movement and closing stay.
bool StartsSomething(const QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const int key = static_cast<const QKeyEvent*>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab && key != Qt::Key_Escape;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        return true;
    default:
        return false;
    }
}

// Watches every event of the application, which reaches it before any control's own filter
// (the key translation's handlers included), and drops the refused ones.
class Gate : public QObject {
public:
    Gate(gpib::BusActivity& activity, QWidget* window, const QList<QWidget*>& controls,
         const QList<QAction*>& actions)
        : QObject(window), activity(activity), outerDepth(activity.depth()), window_(window),
          actions_(new QActionGroup(this)) {
        for (QWidget* c : controls)
            controls_.append(c);
        // A group of its own disables the items while it is disabled and gives each back the
        // state it was last given, also by a handler that ran in between.
        actions_->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
        for (QAction* a : actions)
            actions_->addAction(a);
        actions_->setEnabled(!activity.busy());
        connect(&activity, &gpib::BusActivity::busyChanged, this,
                [this](bool busy) { actions_->setEnabled(!busy); });
        // After the handler whose transaction ended has returned, not inside it.
        connect(&activity, &gpib::BusActivity::busyChanged, this, &Gate::CloseWhenFree,
                Qt::QueuedConnection);
        qApp->installEventFilter(this);
    }

    void CloseWhenFree() {
        if (!closePending || activity.busy()) return;
        // A modal window that opened meanwhile (a box, or Busmate once loaded) is closed first:
        // it blocks this window's close box too.
        const QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != window_)
            return void(QTimer::singleShot(100, this, &Gate::CloseWhenFree));
        closePending = false;
        window_->close();
    }

    gpib::BusActivity& activity;
    // Transactions under way when the window was made go on beneath its event loop: they
    // cannot end before it has closed, and its closing does not wait for them.
    const int outerDepth;
    bool closePending = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType() || !StartsSomething(event) || !activity.busy()) return false;
        // Up through the windows too: a combo box's list belongs to its combo box.
        for (auto* w = static_cast<QWidget*>(watched); w; w = w->parentWidget())
            for (const QPointer<QWidget>& c : controls_)
                if (c == w) return true;
        return false;
    }

private:
    QWidget* window_;
    QList<QPointer<QWidget>> controls_;
    QActionGroup* actions_;
};

} // namespace

void RefuseDuringBus(gpib::BusActivity& activity, QWidget* window, const QList<QWidget*>& controls,
                     const QList<QAction*>& actions) {
    new Gate(activity, window, controls, actions);
}

bool CloseWaitsForBus(QWidget* window, QCloseEvent* event) {
    for (QObject* child : window->children()) {
        auto* gate = dynamic_cast<Gate*>(child);
        if (!gate || gate->activity.depth() <= gate->outerDepth) continue;
        event->ignore();
        gate->activity.requestEnd();
        gate->closePending = true;
        return true;
    }
    return false;
}

} // namespace ctl
