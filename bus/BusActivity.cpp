#include "bus/BusActivity.h"
#include <QCoreApplication>
#include <QThread>

namespace gpib {

BusActivity& BusActivity::instance() {
    static BusActivity activity;
    return activity;
}

void BusActivity::requestEnd() {
    if (busy()) endRequested_ = true;
}

Transaction::Transaction() {
    const QCoreApplication* app = QCoreApplication::instance();
    counted_ = app && QThread::currentThread() == app->thread();
    if (!counted_) return;
    BusActivity& a = BusActivity::instance();
    if (a.depth_++ == 0) emit a.busyChanged(true);
}

Transaction::~Transaction() {
    if (!counted_) return;
    BusActivity& a = BusActivity::instance();
    if (--a.depth_ > 0) return;
    a.endRequested_ = false;
    emit a.busyChanged(false);
}

} // namespace gpib
