#pragma once
// A main window started on a simulated bench, with every box scripted.
#include "TestBench.h"
#include "app/MainForm.h"
#include "platform/ScriptedPlatform.h"
#include "ui_MainForm.h"
#include <memory>

struct FormFixture {
    explicit FormFixture(const QByteArray& benchJson);
    ~FormFixture();

    // Loads and first-activates the window (no splash). False when the program ended.
    bool start();
    Ui::MainForm* ui() const { return form->ui.get(); }

    platform::ScriptedPlatform sys;
    BenchGuard bench;
    std::unique_ptr<MainForm> form;
};

// A bench JSON text with the given instruments array body and a fast timeout scale.
QByteArray BenchJson(const QByteArray& instruments, const QString& journal = {},
                     double timeoutScale = 0.001);
