#include "FormFixture.h"

FormFixture::FormFixture(const QByteArray& benchJson, bool worker)
    : bench(benchJson, worker), form(std::make_unique<MainForm>(bench.session())), p(*form) {
    form->SetSplashSeconds(0);
}

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
