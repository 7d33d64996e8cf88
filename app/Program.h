#pragma once
#include <QStringList>

// The whole program after QApplication exists: the about box alone when the command line
// asks for it, otherwise the driver, the main window and the event loop. Returns the exit code.
int RunSequor(const QStringList& arguments);
// "?" anywhere on the command line (after the program name).
bool WantsAboutOnly(const QStringList& arguments);
