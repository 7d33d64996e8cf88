// The run without a window against the window's run: rows per second back to back (interval 0,
// the shortest; every query's 0.1 s pause sets a ceiling of 10 rows/s), CPU time and resident
// memory over the same number of rows, each side in a process of its own on the same bench.
// Usage: bench_headless [rows, default 10000]
// It starts itself twice, as "bench_headless window N" and "bench_headless headless N"; each
// prints one line "rows seconds cpu_seconds rss_early_kib rss_end_kib" on stderr.
#include "BenchFigures.h"
#include "MainFormProbe.h"
#include "app/Headless.h"
#include "bus/Session.h"
#include "bus/SimBench.h"
#include "bus/ThreadedDriver.h"
#include "measure/RunController.h"
#include "platform/ui/QtPlatform.h"
#include "ui_MainForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

const QByteArray Bench = R"({ "timeout_scale": 0.001, "instruments": [
    { "address": 3, "status": "ieee488.2", "delay_ms": 0,
      "replies": { "*IDN?": "SIMLAB,M401A", "MEAS?": "+1.00000E+01VDC" } } ] })";

// Resident memory 3 s into the run (some 30 rows) and at its end.
struct MemorySampler {
    long early = -1;
    QTimer timer;
    MemorySampler() {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [this] { early = ResidentKiB(); });
        timer.start(3000);
    }
};

int Report(int rows, const QElapsedTimer& clock, double cpuBefore, const MemorySampler& memory) {
    std::fprintf(stderr, "%d %.3f %.3f %ld %ld\n", rows, double(clock.nsecsElapsed()) / 1e9,
                 CpuSeconds() - cpuBefore, memory.early, ResidentKiB());
    return 0;
}

int Window(int argc, char* argv[], int rows, const QString& folder) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    static platform::QtPlatform desktop;
    platform::SetPlatform(&desktop);
    QString error;
    // The program's own set-up: the bench behind the worker thread.
    gpib::ThreadedDriver driver(gpib::SimBus::fromJson(Bench, &error));
    bus::Session session(driver);
    MainForm form(session);
    MainFormProbe p(form);
    form.SetSplashSeconds(0);
    form.Form_Load();
    form.Form_Activate();
    p.ui->Text_Path->setText(folder);
    p.ui->Text_FileName->setText("window.csv");
    p.ConnectAndApplyTiming("3", "MEAS?", 1, rows);
    p.timing.IntervalSeconds = 0;
    int logged = 0;
    QObject::connect(&form, &MainForm::rowLogged, [&](const QByteArray&) { ++logged; });
    const MemorySampler memory;
    const double cpu = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    p.Button_Start_Click();
    return Report(logged, clock, cpu, memory);
}

int Headless(int argc, char* argv[], int rows, const QString& folder) {
    QCoreApplication app(argc, argv);
    QDir(folder).mkpath("config/Sequor");
    QFile ini(folder + "/config/Sequor/Sequor.ini");
    QFile bench(folder + "/bench.json");
    if (!ini.open(QIODevice::WriteOnly) || !bench.open(QIODevice::WriteOnly)) return 1;
    ini.write("[Settings]\nLogFilePath=" + folder.toUtf8() +
              "\nLogFileName=headless.csv\nInterval=1\nSequence=" + QByteArray::number(rows) +
              "\nID=2\nManualGPIBAddress=3\nQuery=MEAS?\nPCTime=1\nSequenceNumber=1\n");
    ini.close();
    bench.write(Bench);
    bench.close();
    qputenv("XDG_CONFIG_HOME", (folder + "/config").toLocal8Bit());
    qputenv("SEQUOR_BUS", ("sim:" + folder + "/bench.json").toLocal8Bit());
    // Rows go to a pipe or file in unattended use: flushed one by one.
    if (!std::freopen("/dev/null", "w", stdout)) return 1;
    cli::CommandLine line;
    line.action = cli::Action::Run;
    line.runSet = "startup";
    const MemorySampler memory;
    const double cpu = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const int status = RunHeadless(line, [](RunSettings& run) { run.intervalSeconds = 0; });
    QFile log(folder + "/headless.csv");
    int logged = 0;
    if (log.open(QIODevice::ReadOnly)) logged = int(log.readAll().count('\n')) - 2;
    return status != 0 ? status : Report(logged, clock, cpu, memory);
}

} // namespace

int main(int argc, char* argv[]) {
    const int rows = argc > 2 ? atoi(argv[2]) : argc > 1 ? atoi(argv[1]) : 10000;
    QTemporaryDir folder;
    if (argc > 2) {
        const QByteArray mode = argv[1];
        if (mode == "window") return Window(argc, argv, rows, folder.path());
        if (mode == "headless") return Headless(argc, argv, rows, folder.path());
        return 2;
    }
    QCoreApplication app(argc, argv);
    double figures[2][5] = {};
    const char* modes[2] = {"window", "headless"};
    for (int m = 0; m < 2; ++m) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {modes[m], QString::number(rows > 0 ? rows : 10000)});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            std::fprintf(stderr, "%s run failed: %s\n", modes[m],
                         child.readAllStandardError().constData());
            return 1;
        }
        // The figures are the last line; Qt's and the run's own messages come before it.
        const QList<QByteArray> f =
            child.readAllStandardError().trimmed().split('\n').last().split(' ');
        for (int i = 0; i < 5 && i < f.size(); ++i)
            figures[m][i] = f[i].toDouble();
        std::printf("%-8s %6.0f rows in %8.2f s = %6.3f rows/s; CPU %7.2f s (%.2f %% of wall); "
                    "resident %6.0f KiB after 3 s, %6.0f KiB at the end\n",
                    modes[m], figures[m][0], figures[m][1], figures[m][0] / figures[m][1],
                    figures[m][2], 100 * figures[m][2] / figures[m][1], figures[m][3],
                    figures[m][4]);
        std::fflush(stdout);
    }
    const auto rate = [&](int m) { return figures[m][0] / figures[m][1]; };
    std::printf("headless / window: rate %.3f, CPU time %.3f, resident memory at the end %.3f\n",
                rate(1) / rate(0), figures[1][2] / figures[0][2], figures[1][4] / figures[0][4]);
    return 0;
}
