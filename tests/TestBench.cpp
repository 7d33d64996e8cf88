#include "TestBench.h"
#include "bus/BusAccess.h"
#include "bus/BusChoice.h"
#include "bus/Discovery.h"
#include "bus/LinuxGpib.h"
#include "bus/Selection.h"
#include <QFile>
#include <QLibrary>

namespace {

// The linux-gpib back-end over the stand-in library, opened once for the whole test run.
gpib::Driver* LinuxGpibOverStandIn(QString* error) {
    static std::unique_ptr<gpib::Driver> driver;
    static QString failure;
    if (!driver && failure.isEmpty())
        driver = gpib::CreateDriver(gpib::ParseBusChoice("gpib"), &failure);
    if (error) *error = failure;
    return driver.get();
}

bool UseStandInBench(const QByteArray& json, QString* error) {
    using Use = int (*)(const char*, char*, int);
    const auto use =
        reinterpret_cast<Use>(QLibrary::resolve(gpib::LinuxGpibLibrary, "standin_use_bench"));
    if (!use) {
        *error = "the stand-in libgpib.so.0 is not on the library path";
        return false;
    }
    char message[512] = {};
    if (use(json.constData(), message, sizeof message) == 0) return true;
    *error = QString::fromUtf8(message);
    return false;
}

} // namespace

BenchGuard::BenchGuard(const QByteArray& json) {
    if (qEnvironmentVariable("SEQUOR_TEST_BACKEND") == "linuxgpib") {
        gpib::Driver* driver = LinuxGpibOverStandIn(&error_);
        if (driver && UseStandInBench(json, &error_)) driver_ = driver;
    } else {
        bench_ = gpib::SimBus::fromJson(json, &error_);
        driver_ = bench_.get();
    }
    if (driver_) gpib::SetBus(driver_);
    ResetBusGlobals();
}

BenchGuard::~BenchGuard() {
    if (driver_) gpib::SetBus(nullptr);
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

QByteArray BenchJson(const QByteArray& instruments, const QString& journal, double timeoutScale) {
    QByteArray json = "{ \"timeout_scale\": " + QByteArray::number(timeoutScale) + ", ";
    if (!journal.isEmpty()) json += "\"journal\": \"" + journal.toUtf8() + "\", ";
    json += "\"instruments\": [" + instruments + "] }";
    return json;
}
