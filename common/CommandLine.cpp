#include "common/CommandLine.h"

namespace cli {

namespace {

// Qt's own window options, which QApplication takes off the command line later; they must
// pass here so that "sequor -platform offscreen" keeps working.
const QStringList QtOptionsWithValue = {"-platform",        "-platformpluginpath",
                                        "-platformtheme",   "-plugin",
                                        "-display",         "-style",
                                        "-stylesheet",      "-geometry",
                                        "-qwindowgeometry", "-qwindowicon",
                                        "-qwindowtitle",    "-session"};
const QStringList QtSwitches = {"-reverse", "-nograb", "-dograb", "-sync", "-widgetcount"};

CommandLine Wrong(const QString& error) {
    CommandLine c;
    c.action = Action::Usage;
    c.error = error;
    return c;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine c;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (arguments.at(i).contains('?')) {
            c.action = Action::About;
            return c;
        }
    bool help = false, version = false, run = false, optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith('-') || arg == "-")
            return Wrong(QString("extra operand '%1'").arg(arg));
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (QtOptionsWithValue.contains(arg)) {
            ++i; // Qt complains itself when the value is missing
            continue;
        }
        if (QtSwitches.contains(arg)) continue;
        // --name=value or --name value, for the options that take one.
        const qsizetype eq = arg.indexOf('=');
        const QString name = arg.startsWith("--") && eq > 0 ? arg.left(eq) : arg;
        if (name == "--bus" || name == "--run") {
            QString value;
            if (eq > 0 && name != arg) {
                value = arg.mid(eq + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            } else {
                return Wrong(QString("option '%1' requires an argument").arg(name));
            }
            if (value.isEmpty()) return Wrong(QString("option '%1' needs a value").arg(name));
            (name == "--bus" ? c.bus : c.runSet) = value;
            run = run || name == "--run";
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--quiet" || arg == "-q") {
            c.quiet = true;
        } else if (name != arg) {
            return Wrong(QString("option '%1' doesn't allow an argument").arg(name));
        } else {
            return Wrong(arg.startsWith("--") ? QString("unrecognized option '%1'").arg(arg)
                                              : QString("invalid option -- '%1'").arg(arg.mid(1)));
        }
    }
    c.action = help ? Action::Help : version ? Action::Version : run ? Action::Run : Action::Window;
    return c;
}

QString HelpText() {
    return "Usage: sequor [OPTION]...\n"
           "Log a sequence of measurements from a GPIB instrument into a .csv file.\n"
           "\n"
           "  --bus CHOICE     the bus to use, as SEQUOR_BUS takes it (sim, sim:FILE, gpib,\n"
           "                   gpib:BOARD, prologix:DEVICE, prologix:HOST[:PORT], usbtmc,\n"
           "                   vxi11:HOST[/INTERFACE], lan); wins over SEQUOR_BUS\n"
           "  --run SET        run a saved settings set without a window: startup,\n"
           "                   1 to 5, or the name the set was saved under\n"
           "  -q, --quiet      with --run: print nothing but errors\n"
           "  -h, --help       display this help and exit\n"
           "      --version    output version information and exit\n"
           "  ?                show the about box and exit\n"
           "\n"
           "Exit status: 0 when the run completed or a condition ended it, 1 when a start was\n"
           "refused, 2 for a wrong command line, 3 for a bus error, 4 for a log file error,\n"
           "5 when SIGINT or SIGTERM stopped the run.\n"
           "See sequor(1) for the settings keys and the bench file format.\n";
}

QString UsageErrorText(const QString& error) {
    return "sequor: " + error + "\nTry 'sequor --help' for more information.\n";
}

} // namespace cli
