#pragma once
// The command line: GNU long options beside the "?" that shows the about box. Read before any
// application object exists, since a run without a window must never ask for a display.
#include <QString>
#include <QStringList>

namespace cli {

enum class Action { Window, About, Help, Version, Run, Usage };

struct CommandLine {
    Action action = Action::Window;
    QString bus;    // --bus, empty when not given; wins over SEQUOR_BUS
    QString runSet; // --run: "startup", 1 to 5 or a set's name
    bool quiet = false;
    QString error; // Usage: what was wrong, one line without the program name
};

// arguments[0] is the program.
CommandLine ParseCommandLine(const QStringList& arguments);

// What --help prints.
QString HelpText();
// The two lines a wrong command line prints to stderr.
QString UsageErrorText(const QString& error);

// The statuses the program ends with; the man page lists them.
namespace Exit {
constexpr int Ok = 0;          // the run completed or a condition ended it
constexpr int Failure = 1;     // a refused start or anything else a box reports
constexpr int Usage = 2;       // a wrong command line
constexpr int BusError = 3;    // no bus, no instrument, a driver error
constexpr int FileError = 4;   // the log file could not be opened or written
constexpr int Interrupted = 5; // SIGINT or SIGTERM stopped the run
} // namespace Exit

} // namespace cli
