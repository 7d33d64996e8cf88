#pragma once
// Texts every module writes the same way: durations and trimmed answers.
#include <QByteArray>
#include <QString>

// Seconds as text. Mode 0: "1 h 2 m 5 s ", mode 1: "1 hour 2 minutes 5 seconds ",
// mode 2: "1:02:05".
QString FormatTime(float seconds, int mode);

// Removes leading and trailing spaces (the space character only; tabs and line ends stay).
QByteArray TrimSpaces(const QByteArray& text);
