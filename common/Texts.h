#pragma once
// Texts every module writes the same way: durations and trimmed answers.
#include <QByteArray>
#include <QString>

// Seconds as text. Mode 0: "1 h 2 m 5 s ", mode 1: "1 hour 2 minutes 5 seconds ",
// mode 2: "1:02:05".
QString FormatTime(float seconds, int mode);

// Removes leading and trailing spaces (the space character only; tabs and line ends stay).
QByteArray TrimSpaces(const QByteArray& text);

// The first character of a text that one byte per character (Latin-1, as on the bus and in
// the program's files) cannot carry; empty when every one fits.
QString FirstBeyondLatin1(const QString& text);
// The line every box that refuses such a character ends with.
inline const QString Latin1Only =
    QStringLiteral("Only characters of the 8-bit code page (Latin-1) can be used.");
