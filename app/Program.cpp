#include "app/Program.h"
#include "app/MainForm.h"
#include "bus/BusChoice.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/ui/QtPlatform.h"
#include "settings/ui/frmAbout.h"
#include <QApplication>

bool WantsAboutOnly(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (arguments.at(i).contains('?')) return true;
    return false;
}

int RunSequor(const QStringList& arguments) {
    platform::KeepRunningPastFileSizeLimit();
    static platform::QtPlatform desktop;
    if (!platform::Installed()) platform::SetPlatform(&desktop);
    if (WantsAboutOnly(arguments)) {
        frmAbout about;
        about.exec();
        return 0;
    }
    QString error, busName;
    std::unique_ptr<gpib::Driver> driver = gpib::CreateDriverFromEnvironment(&error, &busName);
    if (!driver) {
        platform::MsgBox("Initialization Error", error, platform::Buttons::Ok,
                         platform::Icon::Critical);
        return 1;
    }
    gpib::SetBus(driver.get());
    int code = 0;
    {
        MainForm form;
        form.Form_Load();
        // The user must see at a glance when the program is not on the usual hardware.
        if (!busName.isEmpty()) form.setWindowTitle(form.windowTitle() + " - " + busName);
        form.show();
        code = QApplication::exec();
    }
    gpib::SetBus(nullptr);
    return code;
}
