#include "TestBench.h"
#include "bus/BusChoice.h"
#include "bus/LanBus.h"
#include "bus/LinuxGpib.h"
#include "bus/ThreadedDriver.h"
#include <QFile>
#include <QLibrary>

// The linux-gpib back-end over the stand-in library, opened once for the whole test run.
static gpib::Driver* LinuxGpibOverStandIn(QString* error) {
    static QString failure;
    static const auto driver = gpib::CreateDriver(gpib::ParseBusChoice("gpib"), &failure);
    *error = failure;
    return driver.get();
}

bool UseStandInBench(const QString& library, const QByteArray& json, QString* error) {
    using Use = int (*)(const char*, char*, int);
    const auto use = reinterpret_cast<Use>(QLibrary::resolve(library, "standin_use_bench"));
    char message[512] = "the stand-in libgpib.so.0 is not on the library path";
    if (use && use(json.constData(), message, sizeof message) == 0) return true;
    *error = QString::fromUtf8(message);
    return false;
}

gpib::Prologix::Options AdapterOptions(double timeScale) {
    gpib::Prologix::Options options;
    options.timeoutScale = timeScale;
    // The bench may answer within a millisecond, but a loaded test machine may not hand the
    // answer through the fake adapter's thread that fast.
    options.minDeadlineMs = 1500;
    options.scanPollMs = std::max(100, int(300 * timeScale));
    options.adapterReadMs = std::max(20, int(500 * timeScale));
    return options;
}

std::unique_ptr<gpib::Driver> OverAdapter(const FakeAdapter& fake,
                                          const gpib::Prologix::Options& options, QString* error) {
    const QString target = fake.target();
    auto adapter = std::make_unique<gpib::Prologix>(
        [target]() -> std::unique_ptr<gpib::ByteStream> {
            if (target.startsWith('/')) return gpib::SerialStream(target);
            return gpib::TcpStream(target.section(':', 0, 0), target.section(':', 1).toUShort());
        },
        target, options);
    gpib::Prologix* raw = adapter.get();
    auto driver = std::make_unique<gpib::ThreadedDriver>(std::move(adapter));
    if (!driver->call([&](gpib::Driver&) { return raw->start(error) ? 1 : 0; })) return nullptr;
    return driver;
}

std::unique_ptr<gpib::Driver> OverLan(const FakeLan& fake, bool raw, const QList<int>& rawAddresses,
                                      double timeScale, QString* error) {
    gpib::LanBus::Options options;
    options.timeoutScale = timeScale;
    // As with the adapters: the bench answers at once, a loaded machine's loopback may not.
    options.minDeadlineMs = 1500;
    options.scanPollMs = std::max(100, int(300 * timeScale));
    options.connectMs = 2000;
    std::map<int, gpib::LanTarget> listed;
    for (int pad : rawAddresses)
        listed[pad] = {gpib::LanTarget::Kind::Raw, "127.0.0.1", fake.rawPort(pad), {}, false};
    const quint16 pm = fake.portmapperPort();
    auto lan = std::make_unique<gpib::LanBus>(raw ? gpib::LanBus::Listed(listed)
                                                  : gpib::LanBus::Gateway("127.0.0.1", pm, "gpib0"),
                                              options);
    gpib::LanBus* inner = lan.get();
    auto driver = std::make_unique<gpib::ThreadedDriver>(std::move(lan));
    if (!raw && !driver->call([&](gpib::Driver&) { return inner->start("127.0.0.1", pm, error); }))
        return nullptr;
    return driver;
}

BenchGuard::BenchGuard(const QByteArray& json, bool worker) {
    QString error;
    const QString backend = qEnvironmentVariable("SEQUOR_TEST_BACKEND");
    if (backend == "linuxgpib") {
        gpib::Driver* driver = LinuxGpibOverStandIn(&error);
        if (driver && UseStandInBench(gpib::LinuxGpibLibrary, json, &error)) driver_ = driver;
    } else if (!(bench_ = gpib::SimBus::fromJson(json, &error))) {
    } else if (backend == "prologix" || backend == "ar488") {
        const bool ar488 = backend == "ar488";
        adapter_ = std::make_unique<FakeAdapter>(
            *bench_, ar488 ? FakeAdapter::Kind::Ar488 : FakeAdapter::Kind::Prologix,
            ar488 ? FakeAdapter::Transport::Tcp : FakeAdapter::Transport::Pty);
        own_ = OverAdapter(*adapter_, AdapterOptions(bench_->timeoutScale()), &error);
    } else if (backend == "vxi11" || backend == "raw") {
        const bool raw = backend == "raw";
        const QList<int> pads = raw ? BenchAddresses(*bench_) : QList<int>{};
        lan_ = std::make_unique<FakeLan>(*bench_, bench_->timeoutScale(), pads);
        own_ = OverLan(*lan_, raw, pads, bench_->timeoutScale(), &error);
    } else if (worker) {
        own_ = std::make_unique<gpib::ThreadedDriver>(std::move(bench_));
    }
    if (!driver_) driver_ = own_ ? own_.get() : bench_.get();
    if (!driver_) qFatal("bench: %s", qPrintable(error));
    session_ = std::make_unique<bus::Session>(*driver_);
    instrument_ = std::make_unique<bus::Instrument>(*session_);
}

bus::Error BenchGuard::open() {
    if (bus::Error failed = listeners.find(*driver_)) return failed;
    return instrument_->open(listeners);
}

bool BusReportsWriteErrors() {
    const QString backend = qEnvironmentVariable("SEQUOR_TEST_BACKEND");
    return backend != "prologix" && backend != "ar488" && backend != "raw";
}

QByteArray WholeAnswer(gpib::Driver& driver, int ud, long piece, int* sta) {
    QByteArray answer, buffer(piece, '\0');
    int last = 0;
    // A bound, so that a back-end that never ends an answer fails rather than hangs.
    for (int i = 0; !(last & (gpib::ERR | gpib::END)) && i < 1000; ++i) {
        last = driver.ibrd(ud, buffer.data(), piece);
        if (!(last & gpib::ERR)) answer += buffer.left(driver.ibcntl());
    }
    if (sta) *sta = last;
    return answer;
}

QString JournalText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.readAll());
}

QByteArray BenchJson(const QByteArray& instruments, const QString& journal, double timeoutScale) {
    QByteArray json = "{ \"timeout_scale\": " + QByteArray::number(timeoutScale) + ", ";
    if (!journal.isEmpty()) json += "\"journal\": \"" + journal.toUtf8() + "\", ";
    json += "\"instruments\": [" + instruments + "] }";
    return json;
}
