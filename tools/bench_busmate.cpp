// Measures the Busmate window on the simulated bench:
//   1. putting answers into an incoming box that is nearly full: a 30,000-character answer
//      (refused by the 30k limit), the largest that fits after the box is cleared, and a
//      smaller one on top of a nearly full box;
//   2. Id All over 14 instruments of which 7 are silent, against the 300 ms timeouts that
//      set its length (both identification queries, then *IDN? alone);
//   3. a 4 MB answer received into a file and a 4 MB file sent to an instrument, in MB/s.
// Usage: bench_busmate (run with QT_QPA_PLATFORM=offscreen where there is no display)
#include "bus/Listeners.h"
#include "bus/Session.h"
#include "bus/SimBench.h"
#include "platform/Platform.h"
#include "terminal/ui/ManualForm.h"
#include "ui_ManualForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Answers every box with its first button and every file dialog with one path.
class BenchPlatform : public platform::Platform {
public:
    QString path;
    platform::Answer messageBox(const QString&, const QString&, platform::Buttons buttons,
                                platform::Icon, platform::Answer) override {
        return buttons == platform::Buttons::YesNo || buttons == platform::Buttons::YesNoCancel
                   ? platform::Answer::Yes
                   : platform::Answer::Ok;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    platform::FileDialogResult openFileDialog(const platform::FileDialogRequest&) override {
        return chosen();
    }
    platform::FileDialogResult saveFileDialog(const platform::FileDialogRequest&) override {
        return chosen();
    }
    platform::FileDialogResult chooseFolder(const platform::FileDialogRequest&) override {
        return {};
    }
    QString startProgram(const QString&, const QStringList&) override { return "not here"; }
    bool openDocument(const QString&) override { return false; }
    QString readSetting(const QString&, const QString&, const QString&,
                        const QString& defaultValue) override {
        return defaultValue;
    }
    QString writeSetting(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    [[noreturn]] void endProgram(int exitCode) override { std::exit(exitCode); }

private:
    platform::FileDialogResult chosen() const {
        platform::FileDialogResult r;
        r.cancelled = false;
        r.fullPath = path;
        r.fileTitle = path.mid(path.lastIndexOf('/') + 1);
        return r;
    }
};

std::unique_ptr<gpib::SimBus> Bench(const QByteArray& instruments) {
    QString error;
    auto bus = gpib::SimBus::fromJson("{ \"instruments\": [" + instruments + "] }", &error);
    if (!bus) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
        std::exit(2);
    }
    return bus;
}

// A terminal on a bench, with the instrument on loan as the main window lends it.
struct OnBench {
    explicit OnBench(const QByteArray& instruments)
        : bench(Bench(instruments)), session(*bench), instrument(session),
          device(instrument.lend()), form(device, listeners, selection) {}
    std::unique_ptr<gpib::SimBus> bench;
    bus::Session session;
    bus::Listeners listeners;
    bus::Instrument instrument;
    bus::Instrument::Loan device;
    term::Selection selection;
    ManualForm form;
};

double Ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

void IncomingBox() {
    OnBench on(R"({ "address": 3, "replies": {} })");
    ManualForm& form = on.form;
    form.Form_Load();
    form.show();
    form.Form_Activate();
    struct Case {
        const char* what;
        int before; // characters of earlier answers in the box
        int answer;
    };
    for (const Case& c : {Case{"30,000 characters into a box holding 32,000", 32000, 30000},
                          Case{"29,000 characters, box of 32,000 cleared first", 32000, 29000},
                          Case{"2,000 characters on top of 30,000", 30000, 2000}}) {
        double best = 1e9;
        for (int round = 0; round < 5; ++round) {
            form.ClearIncoming_Click();
            // Earlier answers of 1,000 characters each, as a long session leaves them.
            for (int filled = 0; filled + 1000 <= c.before * 50 / 56; filled += 1000)
                form.PrintMessageList(QByteArray(1000, 'a'));
            QApplication::processEvents();
            QElapsedTimer t;
            t.start();
            form.PrintMessageList(QByteArray(c.answer, 'b'));
            QApplication::processEvents();
            best = std::min(best, Ms(t));
        }
        std::printf("  %-50s %8.2f ms (box now %lld characters)\n", c.what, best,
                    static_cast<long long>(form.Incoming.size()));
    }
}

void IdAll() {
    QByteArray instruments;
    for (int i = 1; i <= 14; ++i) {
        if (!instruments.isEmpty()) instruments += ",";
        instruments += "{ \"address\": " + QByteArray::number(i) + ", \"replies\": { " +
                       (i % 2 ? "\"ID?\": \"UNIT " + QByteArray::number(i) + "\", " : "") +
                       "\"*IDN?\": " + (i % 2 ? "\"SIM,UNIT,0,1\"" : "null") + " } }";
    }
    OnBench on(instruments);
    ManualForm& form = on.form;
    form.Form_Load();
    form.Form_Activate();
    for (bool both : {true, false}) {
        form.ui->bmID->setChecked(both);
        form.ClearIncoming_Click();
        QElapsedTimer t;
        t.start();
        form.IdAll_Click();
        const double ms = Ms(t);
        const double floor = 7 * (both ? 2 : 1) * 300.0; // the silent ones' timeouts
        std::printf("  Id All, %-27s %8.0f ms, timeouts alone %5.0f ms, ratio %.3f, %lld lines\n",
                    both ? "ID? then *IDN?:" : "*IDN? alone:", ms, floor, ms / floor,
                    static_cast<long long>(form.Incoming.count("\r\n")));
    }
}

void Transfers(const QString& folder) {
    constexpr int Size = 4 * 1000 * 1000;
    const QByteArray wave = "CURVE " + QByteArray(Size - 6, '7');
    OnBench on(R"({ "address": 3, "terminator": "", "replies": { "WAVE?": ")" + wave +
               R"(" }, "accepts": ["CURVE *"] })");
    auto& sys = static_cast<BenchPlatform&>(platform::Sys());
    ManualForm& form = on.form;
    form.Form_Load();
    form.Form_Activate();
    form.ui->SendToFile->trigger();
    sys.path = folder + "/wave.dat";
    form.ui->SendMessageList->setEditText("WAVE?");
    QElapsedTimer t;
    t.start();
    form.SendMessage_Click();
    const double receiveMs = Ms(t);
    const qint64 got = QFile(sys.path).size();
    t.restart();
    form.SendToDevice_Click();
    const double sendMs = Ms(t);
    std::printf("  receive 4 MB into a file: %7.1f ms, %6.1f MB/s (%lld bytes in the file)\n",
                receiveMs, Size / receiveMs / 1000.0, static_cast<long long>(got));
    std::printf("  send 4 MB from a file:    %7.1f ms, %6.1f MB/s (GPIB itself: about 1 MB/s)\n",
                sendMs, Size / sendMs / 1000.0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    BenchPlatform sys;
    platform::SetPlatform(&sys);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    std::printf("Incoming box (best of 5):\n");
    IncomingBox();
    std::printf("Id All over 14 instruments, 7 silent:\n");
    IdAll();
    std::printf("File transfers through the bench:\n");
    Transfers(dir.path());
    return 0;
}
