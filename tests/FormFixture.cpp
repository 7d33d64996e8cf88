#include "FormFixture.h"
#include "measure/Processing.h"
#include "settings/SettingsStore.h"

namespace {
// The window of a fixture, made after the program-wide values are back at their start.
std::unique_ptr<MainForm> FreshForm(bus::Session& session) {
    SettingsChanged = false;
    Exclude1.clear();
    Exclude2.clear();
    DecNotation = false;
    auto form = std::make_unique<MainForm>(session);
    form->SetSplashSeconds(0);
    return form;
}
} // namespace

FormFixture::FormFixture(const QByteArray& benchJson, bool worker)
    : bench(benchJson, worker), form(FreshForm(bench.session())), p(*form) {}

FormFixture::~FormFixture() {
    form.reset();
    SettingsChanged = false;
}

bool FormFixture::start() {
    try {
        form->Form_Load();
        form->Form_Activate();
    } catch (const platform::ProgramEnded&) {
        return false;
    }
    return true;
}
