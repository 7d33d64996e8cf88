#include "app/Program.h"
#include "app/MainForm.h"
#include "bus/BusChoice.h"
#include "bus/BusTrace.h"
#include "bus/Session.h"
#include "common/CommandLine.h"
#include "common/ProgramInfo.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/ui/QtPlatform.h"
#include "settings/ui/frmAbout.h"
#include "widgets/BusErrorBoxes.h"
#include <QApplication>
#include <cstdio>

bool AnswerWithoutApplication(const QStringList& arguments, int* code) {
    const cli::CommandLine line = cli::ParseCommandLine(arguments);
    QString text;
    FILE* to = stdout;
    *code = cli::Exit::Ok;
    switch (line.action) {
    case cli::Action::Help:
        text = cli::HelpText();
        break;
    case cli::Action::Version:
        text = TitleText() + '\n';
        break;
    case cli::Action::Usage:
        text = cli::UsageErrorText(line.error);
        to = stderr;
        *code = cli::Exit::Usage;
        break;
    default:
        return false;
    }
    std::fputs(text.toLocal8Bit().constData(), to);
    return true;
}

void StartChosenTrace(bus::Session& session) {
    // A trace that cannot be written is no reason not to work: the user is told and the
    // program goes on without it.
    if (const QString trace = gpib::ChosenTraceFile(); !trace.isEmpty()) {
        QString traceError;
        if (!session.trace().start(trace, &traceError))
            platform::MsgBox("Bus Trace", traceError, platform::Buttons::Ok,
                             platform::Icon::Warning);
    }
}

int RunSequor(const QStringList& arguments) {
    platform::KeepRunningPastFileSizeLimit();
    static platform::QtPlatform desktop;
    if (!platform::Installed()) platform::SetPlatform(&desktop);
    const cli::CommandLine line = cli::ParseCommandLine(arguments);
    if (line.action == cli::Action::About) {
        frmAbout about;
        about.exec();
        return 0;
    }
    QString error, busName;
    std::unique_ptr<gpib::Driver> driver =
        gpib::CreateDriverFromEnvironment(&error, &busName, line.bus);
    if (!driver) {
        ctl::BusErrorBoxes().decide({bus::Error::Kind::NoBus, 0, error}); // always the end
        return 1;
    }
    int code = 0;
    {
        bus::Session session(*driver);
        StartChosenTrace(session);
        MainForm form(session);
        form.Form_Load();
        // The user must see at a glance when the program is not on the usual hardware.
        if (!busName.isEmpty()) form.setWindowTitle(form.windowTitle() + " - " + busName);
        form.show();
        code = QApplication::exec();
    }
    return code;
}
