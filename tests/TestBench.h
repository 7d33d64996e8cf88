#pragma once
// Shared set-up for tests: a simulated bench from JSON text installed as the driver, and the
// program-wide bus values reset, for the life of the object.
#include "bus/SimBench.h"
#include <QByteArray>
#include <QString>
#include <memory>

class BenchGuard {
public:
    explicit BenchGuard(const QByteArray& json);
    ~BenchGuard();
    BenchGuard(const BenchGuard&) = delete;
    BenchGuard& operator=(const BenchGuard&) = delete;

    bool ok() const { return bus_ != nullptr; }
    QString error() const { return error_; }
    gpib::SimBus* bus() const { return bus_.get(); }

private:
    std::unique_ptr<gpib::SimBus> bus_;
    QString error_;
};

// Puts DeviceUd, DeviceAddress, IoTimeout, GpibErrorFlag, ListenerList and the terminal's
// selection back to their start values and forgets the opened descriptor.
void ResetBusGlobals();

// The whole journal file a bench wrote, as text.
QString JournalText(const QString& path);
