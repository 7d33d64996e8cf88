// Measures the run of the main window on a simulated instrument that answers at once:
//   1. sequences per second back to back (interval 0), against the ceiling of 10 per second
//      that the 0.1 s pause of every query sets;
//   2. with a 1 s interval, how much each period exceeds interval + query pause, and the CPU
//      time the whole run takes (the waits must sleep, not spin);
//   3. resident memory after 10 sequences and after many more, to show that a long run does
//      not grow.
// Usage: bench_run [sequences for the memory run, default 1000]
//                  [libgpib.so.0 | prologix | ar488 | vxi11 | raw]
// With SEQUOR_TRACE naming a file, every driver call is traced into it meanwhile.
// With a library (the test tree's stand-in, tests/gpib_standin/libgpib.so.0) the same bench is
// reached through the linux-gpib back-end and its worker thread instead of directly; with
// "prologix" through a fake Prologix adapter on a pseudo-terminal, with "ar488" through a fake
// AR488 on a loopback TCP port, with "vxi11" through a fake VXI-11 gateway and with "raw"
// through a fake raw-socket instrument, both on loopback TCP.
// No box may appear (it would wait for a click): the bench answers every query and each run
// writes a file of its own name into a fresh folder.
#include "BenchFigures.h"
#include "FakeAdapter.h"
#include "FakeLan.h"
#include "MainFormProbe.h"
#include "TestBench.h"
#include "bus/BusTrace.h"
#include "bus/ByteStream.h"
#include "bus/LinuxGpib.h"
#include "bus/Prologix.h"
#include "bus/Session.h"
#include "bus/SimBench.h"
#include "bus/ThreadedDriver.h"
#include "platform/ui/QtPlatform.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>

namespace {

class Runner {
public:
    Runner(bus::Session& session, const QString& folder) : form_(session) {
        form_.SetSplashSeconds(0);
        form_.Form_Load();
        form_.Form_Activate();
        // Controls by name: this program is built without the window's generated header.
        edit("Text_Path")->setText(folder);
        p_.Option_ID[2]->setChecked(true);
        p_.Option_ID_Click(2);
        form_.findChild<QComboBox*>("Combo_Addr")->setCurrentText("3");
        p_.Button_Connect_Click();
        edit("Text_MeasQuery")->setText("MEAS?");
        for (QCheckBox* box : p_.Check_Log)
            box->setChecked(true);
        QObject::connect(&form_, &MainForm::rowLogged, [this](const QByteArray&) {
            ++rows_;
            if (onRow) onRow(rows_);
        });
    }

    bool ready() const { return p_.connection.Connected; }

    // Runs the given number of sequences; returns the wall time in seconds.
    double run(int sequences, int interval) {
        edit("Text_FileName")->setText(QStringLiteral("Run%1.csv").arg(++runs_));
        p_.Text_Time[0]->setText(QString::number(std::max(interval, 1)));
        p_.Text_Time[1]->setText(QString::number(sequences));
        p_.Button_ApplyTime_Click();
        if (interval == 0) p_.timing.IntervalSeconds = 0;
        rows_ = 0;
        QElapsedTimer clock;
        clock.start();
        p_.Button_Start_Click();
        return double(clock.nsecsElapsed()) / 1e9;
    }

    int rows() const { return rows_; }
    std::function<void(int)> onRow;

private:
    QLineEdit* edit(const char* name) { return form_.findChild<QLineEdit*>(name); }

    MainForm form_;
    MainFormProbe p_{form_};
    int rows_ = 0;
    int runs_ = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The start-up recall reads the store: give the run a store of its own.
    QTemporaryDir store;
    qputenv("XDG_CONFIG_HOME", store.path().toLocal8Bit());
    platform::QtPlatform desktop;
    platform::SetPlatform(&desktop);
    const int memorySequences = argc > 1 ? std::max(11, atoi(argv[1])) : 1000;

    const QByteArray bench = R"({ "timeout_scale": 0.001, "instruments": [
        { "address": 3, "status": "ieee488.2", "delay_ms": 0,
          "replies": { "MEAS?": "+1.00000E+01VDC" } } ] })";
    QString error;
    std::unique_ptr<gpib::Driver> bus;
    QTemporaryDir benchFolder;
    std::unique_ptr<gpib::SimBus> behind;
    std::unique_ptr<FakeAdapter> fake;
    std::unique_ptr<FakeLan> lan;
    const QByteArray through = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    if (through == "vxi11" || through == "raw") {
        behind = gpib::SimBus::fromJson(bench, &error);
        if (!behind) return 1;
        const QList<int> pads = through == "raw" ? QList<int>{3} : QList<int>{};
        lan = std::make_unique<FakeLan>(*behind, behind->timeoutScale(), pads);
        bus = OverLan(*lan, through == "raw", pads, behind->timeoutScale(), &error);
        std::printf("through a fake %s host on loopback TCP\n", argv[2]);
    } else if (through == "prologix" || through == "ar488") {
        behind = gpib::SimBus::fromJson(bench, &error);
        if (!behind) return 1;
        const bool ar488 = through == "ar488";
        fake = std::make_unique<FakeAdapter>(
            *behind, ar488 ? FakeAdapter::Kind::Ar488 : FakeAdapter::Kind::Prologix,
            ar488 ? FakeAdapter::Transport::Tcp : FakeAdapter::Transport::Pty);
        const QString target = fake->target();
        auto adapter = std::make_unique<gpib::Prologix>(
            [target]() -> std::unique_ptr<gpib::ByteStream> {
                if (target.startsWith('/')) return gpib::SerialStream(target);
                return gpib::TcpStream("127.0.0.1", target.section(':', 1).toUShort());
            },
            target);
        gpib::Prologix* raw = adapter.get();
        auto threaded = std::make_unique<gpib::ThreadedDriver>(std::move(adapter));
        if (threaded->call([&](gpib::Driver&) { return raw->start(&error) ? 1 : 0; }))
            bus = std::move(threaded);
        std::printf("through a fake %s adapter on %s\n", argv[2], qPrintable(target));
    } else if (argc > 2) {
        const QString benchFile = benchFolder.filePath("bench.json");
        QFile f(benchFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(bench) != bench.size()) return 1;
        f.close();
        qputenv("SEQUOR_STANDIN_BENCH", benchFile.toLocal8Bit());
        if (auto lib = gpib::LinuxGpib::open(argv[2], 0, &error))
            bus = std::make_unique<gpib::ThreadedDriver>(std::move(lib));
        std::printf("through %s and the worker thread\n", argv[2]);
    } else {
        bus = gpib::SimBus::fromJson(bench, &error);
        std::printf("on the bench directly\n");
    }
    if (!bus) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
        return 1;
    }
    bus::Session session(*bus);
    if (const QString trace = gpib::ChosenTraceFile(); !trace.isEmpty()) {
        if (!session.trace().start(trace, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("every call traced into %s\n", qPrintable(trace));
    }
    QTemporaryDir folder;
    if (!folder.isValid()) return 1;
    Runner runner(session, folder.path());
    if (!runner.ready()) {
        std::fprintf(stderr, "not connected\n");
        return 1;
    }

    // 1. Back to back.
    {
        const int n = 50;
        const double seconds = runner.run(n, 0);
        const double rate = runner.rows() / seconds;
        std::printf("interval 0, %d sequences: %.2f s, %.2f sequences/s = %.1f %% of 10/s\n", n,
                    seconds, rate, rate * 10.0);
        std::fflush(stdout);
    }

    // 2. A 1 s interval.
    {
        const int n = 60;
        QElapsedTimer clock;
        std::vector<double> at;
        runner.onRow = [&](int) { at.push_back(double(clock.nsecsElapsed()) / 1e9); };
        const double cpuBefore = CpuSeconds();
        clock.start();
        const double seconds = runner.run(n, 1);
        const double cpu = CpuSeconds() - cpuBefore;
        runner.onRow = nullptr;
        std::vector<double> extra;
        for (size_t i = 1; i < at.size(); ++i)
            extra.push_back(at[i] - at[i - 1] - 1.0 - 0.1);
        const double mean =
            extra.empty() ? 0 : std::accumulate(extra.begin(), extra.end(), 0.0) / extra.size();
        const double worst = extra.empty() ? 0 : *std::max_element(extra.begin(), extra.end());
        std::printf("interval 1 s, %d sequences: %.2f s wall, %zu periods, extra beyond 1.1 s: "
                    "mean %.2f ms, worst %.2f ms; CPU %.3f s (%.2f %% of wall)\n",
                    n, seconds, extra.size(), mean * 1e3, worst * 1e3, cpu, 100 * cpu / seconds);
        std::fflush(stdout);
    }

    // 3. Memory over a long run.
    {
        long after10 = -1;
        long atEnd = -1;
        runner.onRow = [&](int row) {
            if (row == 10) after10 = ResidentKiB();
            if (row == memorySequences) atEnd = ResidentKiB();
        };
        const double seconds = runner.run(memorySequences, 0);
        runner.onRow = nullptr;
        std::printf("resident memory: %ld KiB after 10 sequences, %ld KiB after %d (%+ld KiB), "
                    "run %.1f s\n",
                    after10, atEnd, memorySequences, atEnd - after10, seconds);
    }
    std::fflush(stdout);
    return 0;
}
