#include "FormFixture.h"

namespace {
std::unique_ptr<MainForm> FreshForm(bus::Session& session) {
    auto form = std::make_unique<MainForm>(session);
    form->SetSplashSeconds(0);
    return form;
}
} // namespace

FormFixture::FormFixture(const QByteArray& benchJson, bool worker)
    : bench(benchJson, worker), form(FreshForm(bench.session())), p(*form) {}

bool FormFixture::start(bool show) {
    try {
        form->Form_Load();
        form->Form_Activate();
    } catch (const platform::ProgramEnded&) {
        return false;
    }
    if (show) form->show();
    return true;
}
