#include "app/Program.h"
#include "app/MainForm.h"
#include "bus/BusChoice.h"
#include "bus/BusTrace.h"
#include "bus/Session.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/ui/QtPlatform.h"
#include "settings/ui/frmAbout.h"
#include "widgets/BusErrorBoxes.h"
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
        ctl::BusErrorBoxes().decide({bus::Error::Kind::NoBus, 0, error}); // always the end
        return 1;
    }
    int code = 0;
    {
        bus::Session session(*driver);
        // A trace that cannot be written is no reason not to work: the user is told and the
        // program goes on without it.
        if (const QString trace = gpib::ChosenTraceFile(); !trace.isEmpty()) {
            QString traceError;
            if (!session.trace().start(trace, &traceError))
                platform::MsgBox("Bus Trace", traceError, platform::Buttons::Ok,
                                 platform::Icon::Warning);
        }
        MainForm form(session);
        form.Form_Load();
        // The user must see at a glance when the program is not on the usual hardware.
        if (!busName.isEmpty()) form.setWindowTitle(form.windowTitle() + " - " + busName);
        form.show();
        code = QApplication::exec();
    }
    return code;
}
