#include "FormFixture.h"
#include "measure/Processing.h"
#include "settings/SettingsStore.h"

FormFixture::FormFixture(const QByteArray& benchJson) : bench(benchJson) {
    SettingsChanged = false;
    Exclude1.clear();
    Exclude2.clear();
    DecNotation = false;
    form = std::make_unique<MainForm>();
    form->SplashSeconds = 0;
}

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

QByteArray BenchJson(const QByteArray& instruments, const QString& journal, double timeoutScale) {
    QByteArray json = "{ \"timeout_scale\": " + QByteArray::number(timeoutScale) + ", ";
    if (!journal.isEmpty()) json += "\"journal\": \"" + journal.toUtf8() + "\", ";
    json += "\"instruments\": [" + instruments + "] }";
    return json;
}
