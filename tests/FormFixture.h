#pragma once
// A main window started on a simulated bench, with every box scripted.
#include "MainFormProbe.h"
#include "TestBench.h"
#include "platform/ScriptedPlatform.h"
#include <memory>

struct FormFixture {
    explicit FormFixture(const QByteArray& benchJson, bool worker = false);

    // Loads and first-activates the window (no splash), and shows it when asked. False when
    // the program ended.
    bool start(bool show = false);
    Ui::MainForm* ui() const { return p.ui; }

    platform::ScriptedPlatform sys;
    BenchGuard bench;
    std::unique_ptr<MainForm> form;
    MainFormProbe p;
};
