// A run of the real main window in a process of its own, for a test that kills it midway.
// The sequor program takes no script that starts a run, so this probe drives the same window
// from the same library: the built-in simulated bench, every x-axis column, '.' as decimal
// separator, interval 1 s, 100 sequences. It prints every row the window reports as logged,
// hex-encoded, one per line and at once, so the test knows what must already be on disk.
//
// Usage: helper_runprobe [-platform offscreen] <folder>   (the log is <folder>/Test.csv)
#include "MainFormProbe.h"
#include "bus/Session.h"
#include "bus/SimBench.h"
#include "platform/ui/QtPlatform.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    // The start-up set comes from an empty store of the probe's own, never the user's.
    qputenv("XDG_CONFIG_HOME", QByteArray(argv[1]) + "/config");
    platform::QtPlatform desktop;
    platform::SetPlatform(&desktop);
    const std::unique_ptr<gpib::SimBus> bench = gpib::SimBus::builtIn();
    bus::Session session(*bench);
    MainForm form(session);
    MainFormProbe p(form);
    form.SetSplashSeconds(0);
    form.Form_Load();
    form.Form_Activate();
    p.ui->Text_Path->setText(QString::fromLocal8Bit(argv[1]));
    for (QCheckBox* box : p.Check_Log)
        box->setChecked(true);
    p.settings.setDecimalSeparator(".");
    // The built-in bench's multimeter.
    p.ConnectAndApplyTiming("3", "MEAS?", 1, 100);
    if (!p.connection.Connected || !p.timing.TimeApplied) return 3;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QObject::connect(&form, &MainForm::rowLogged,
                     [](const QByteArray& row) { std::printf("%s\n", row.toHex().constData()); });
    p.Button_Start_Click();
    return 0;
}
