#pragma once
// Shared set-up for tests: a simulated bench from JSON text installed as the driver, and the
// program-wide bus values reset, for the life of the object.
//
// With SEQUOR_TEST_BACKEND=linuxgpib the same bench sits behind the stand-in libgpib.so.0
// instead, reached through the real linux-gpib back-end and its worker thread, so that every
// scenario of a test also proves that path. With "prologix" it sits behind a fake Prologix
// adapter on a pseudo-terminal, with "ar488" behind a fake AR488 on a loopback TCP port.
#include "FakeAdapter.h"
#include "bus/SimBench.h"
#include <QByteArray>
#include <QString>
#include <memory>

class BenchGuard {
public:
    // worker: the plain bench's calls run on a worker thread, as the program runs them, so
    // that the window thread handles events while an instrument is slow to answer.
    explicit BenchGuard(const QByteArray& json, bool worker = false);
    ~BenchGuard();
    BenchGuard(const BenchGuard&) = delete;
    BenchGuard& operator=(const BenchGuard&) = delete;

    bool ok() const { return driver_ != nullptr; }
    QString error() const { return error_; }
    // The driver the program talks through.
    gpib::Driver* bus() const { return driver_; }
    // The fake adapter in the adapter modes, else null.
    FakeAdapter* adapter() const { return adapter_.get(); }

private:
    std::unique_ptr<gpib::SimBus> bench_;
    std::unique_ptr<FakeAdapter> adapter_;
    std::unique_ptr<gpib::Driver> own_; // the adapter back-end
    gpib::Driver* driver_ = nullptr;
    QString error_;
};

// False where the bus in use cannot report a failed write (an adapter learns nothing of it),
// so scenarios that need one are skipped there.
bool BusReportsWriteErrors();

// Puts DeviceUd, DeviceAddress, IoTimeout, GpibErrorFlag, ListenerList and the terminal's
// selection back to their start values and forgets the opened descriptor.
void ResetBusGlobals();

// The whole journal file a bench wrote, as text.
QString JournalText(const QString& path);

// A bench JSON text with the given instruments array body and a fast timeout scale.
QByteArray BenchJson(const QByteArray& instruments, const QString& journal = {},
                     double timeoutScale = 0.001);
