#pragma once
// Shared set-up for tests: a simulated bench from JSON text, with a fresh bus session and the
// main window's bus objects on it. SEQUOR_TEST_BACKEND puts the bench behind a real back-end
// instead, so a test's scenarios also prove that path: "linuxgpib" (the stand-in libgpib.so.0),
// "prologix", "ar488", "vxi11" or "raw" (over the fakes of FakeAdapter.h and FakeLan.h).
#include "FakeAdapter.h"
#include "FakeLan.h"
#include "bus/Instrument.h"
#include "bus/Listeners.h"
#include "bus/Prologix.h"
#include "bus/Session.h"
#include "bus/SimBench.h"
#include <memory>

class BenchGuard {
public:
    // worker: the plain bench's calls run on a worker thread, as the program runs them, so
    // that the window thread handles events while an instrument is slow to answer. A bench
    // that cannot be made ends the test at once, saying why.
    explicit BenchGuard(const QByteArray& json, bool worker = false);

    // The driver the program talks through, and the session on it.
    gpib::Driver* bus() const { return driver_; }
    bus::Session& session() { return *session_; }
    // The main window's listeners and instrument, as its loading finds and opens them (open).
    bus::Listeners listeners;
    bus::Instrument& instrument() { return *instrument_; }
    bus::Error open();

private:
    // Destroyed in reverse: the back-end goes before the fake it talks to.
    std::unique_ptr<gpib::SimBus> bench_;
    std::unique_ptr<FakeAdapter> adapter_;
    std::unique_ptr<FakeLan> lan_;
    std::unique_ptr<gpib::Driver> own_; // the back-end over a fake, or the bench's worker
    gpib::Driver* driver_ = nullptr;
    std::unique_ptr<bus::Session> session_;
    std::unique_ptr<bus::Instrument> instrument_;
};

// False where the bus in use cannot report a failed write (an adapter learns nothing of it,
// nor a raw socket), so scenarios that need one are skipped there.
bool BusReportsWriteErrors();

// The bench behind the stand-in libgpib.so.0 at that path replaced; false with the reader's
// message when the JSON is refused.
bool UseStandInBench(const QString& library, const QByteArray& json, QString* error);

// The options of the adapter back-end for a bench with this time scale.
gpib::Prologix::Options AdapterOptions(double timeScale);
// The adapter back-end as the program makes it, over a fake adapter, started.
std::unique_ptr<gpib::Driver> OverAdapter(const FakeAdapter& fake,
                                          const gpib::Prologix::Options& options, QString* error);

// The LAN back-end as the program makes it, over a fake LAN host, with the bench's time
// scale: behind its gateway, or with every listed address on a raw socket.
std::unique_ptr<gpib::Driver> OverLan(const FakeLan& fake, bool raw, const QList<int>& rawAddresses,
                                      double timeScale, QString* error);

// The whole answer of the descriptor's instrument, read piece bytes at a time: the reads go
// on until one fails or ends the answer. sta, when given, gets the last read's status.
QByteArray WholeAnswer(gpib::Driver& driver, int ud, long piece = 65536, int* sta = nullptr);

// The whole journal file a bench wrote, as text.
QString JournalText(const QString& path);

// A bench JSON text with the given instruments array body and a fast timeout scale.
QByteArray BenchJson(const QByteArray& instruments, const QString& journal = {},
                     double timeoutScale = 0.001);
