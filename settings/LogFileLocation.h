#pragma once
// The log file's folder and name as the user edits them.
#include <QString>

// The character the name box takes for a typed key; 0 drops it. Letters, digits, '-', '_',
// Backspace and one '.'.
int FileNameKey(int keyAscii, const QString& name);
// The name lacks the ".csv" extension the user is asked to add.
bool LacksCsvExtension(const QString& name);
// The name with ".csv" added ("Test." becomes "Test.csv").
QString WithCsvExtension(const QString& name);
// The folder part of a full path a dialog returned; empty when it holds no separator.
QString FolderOf(const QString& fullPath);
// The default folder of the platform ("c:\\" where drives exist, the home folder here).
QString DefaultFolder();
