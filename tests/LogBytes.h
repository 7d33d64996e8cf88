#pragma once
// A log's bytes, as the tests read and write them.
#include <QFile>

// The whole file; "<none>" where it cannot be read.
inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// The lines joined by '|', as a log holds them: every line ends in CR LF.
inline QByteArray Crlf(QByteArray lines) {
    return lines.replace('|', "\r\n") + "\r\n";
}
