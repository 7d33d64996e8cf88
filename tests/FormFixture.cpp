#include "FormFixture.h"
#include <QElapsedTimer>

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

qint64 FormFixture::RunUntilBusLost(const QString& folder, const QString& file,
                                    const std::function<void()>& loseBus) {
    ui()->Text_Path->setText(folder);
    ui()->Text_FileName->setText(file);
    p.ConnectAndApplyTiming("3", "MEAS?", 1, 6);
    p.timing.IntervalSeconds = p.timing.TotalSeconds = 0;
    loseBus();
    sys.answerBox(platform::Answer::Ok, "I/O Error");
    sys.answerBox(platform::Answer::Cancel, "GPIB ERROR # 7");
    QElapsedTimer clock;
    clock.start();
    try {
        p.Button_Start_Click();
    } catch (const platform::ProgramEnded&) {
    }
    return sys.ended ? clock.elapsed() : -1;
}
