#pragma once
// A main window started on a simulated bench, with every box scripted.
#include "MainFormProbe.h"
#include "TestBench.h"
#include "platform/ScriptedPlatform.h"
#include <functional>
#include <memory>

struct FormFixture {
    explicit FormFixture(const QByteArray& benchJson, bool worker = false);

    // Loads and first-activates the window (no splash), and shows it when asked. False when
    // the program ended.
    bool start(bool show = false);
    Ui::MainForm* ui() const { return p.ui; }
    // A back-to-back run of six MEAS? at address 3 into folder/file, whose bus is lost as
    // loseBus (called before the start) arranges: OK to the "I/O Error" box, Cancel to the
    // driver's "GPIB ERROR # 7". The milliseconds until the program ended, -1 if it did not.
    qint64 RunUntilBusLost(const QString& folder, const QString& file,
                           const std::function<void()>& loseBus);

    platform::ScriptedPlatform sys;
    BenchGuard bench;
    std::unique_ptr<MainForm> form;
    MainFormProbe p;
};
