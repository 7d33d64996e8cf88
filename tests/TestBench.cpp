#include "TestBench.h"
#include "bus/BusAccess.h"
#include "bus/Discovery.h"
#include "bus/Selection.h"
#include <QFile>

BenchGuard::BenchGuard(const QByteArray& json) {
    bus_ = gpib::SimBus::fromJson(json, &error_);
    if (bus_) gpib::SetBus(bus_.get());
    ResetBusGlobals();
}

BenchGuard::~BenchGuard() {
    if (bus_) gpib::SetBus(nullptr);
}

void ResetBusGlobals() {
    DeviceUd = 0;
    DeviceAddress = 0;
    IoTimeout = 12;
    GpibErrorFlag = false;
    ListenerList.fill(0);
    SelectedButton = 0;
    SyntaxMethod.fill(0);
    ResetDevice();
}

QString JournalText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.readAll());
}
