#include "bus/BusActivity.h"
#include <QCoreApplication>
#include <QThread>

namespace gpib {

void BusActivity::requestEnd() {
    if (busy()) endRequested_ = true;
}

Transaction::Transaction(BusActivity& activity) : activity_(activity) {
    const QCoreApplication* app = QCoreApplication::instance();
    counted_ = app && QThread::currentThread() == app->thread();
    if (!counted_) return;
    if (activity_.depth_++ == 0) emit activity_.busyChanged(true);
}

Transaction::~Transaction() {
    if (!counted_) return;
    if (--activity_.depth_ > 0) return;
    activity_.endRequested_ = false;
    emit activity_.busyChanged(false);
}

} // namespace gpib
