#pragma once
#include <QStringList>

// The whole program after QApplication exists: the about box alone when the command line
// asks for it, otherwise the driver, the main window and the event loop. Returns the exit code.
int RunSequor(const QStringList& arguments);

namespace bus {
class Session;
}
// The bus trace SEQUOR_TRACE or the store asks for, on the session's driver; a file that
// cannot be written is told in a box and the program goes on.
void StartChosenTrace(bus::Session& session);

// What main does before any application object: --help, --version and a wrong command line
// print and end here (returns true and sets code); everything else needs an application.
bool AnswerWithoutApplication(const QStringList& arguments, int* code);
