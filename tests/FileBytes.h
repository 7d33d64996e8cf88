#pragma once
// Files as the tests read and write them: logs, transfers, stand-in programs.
#include <QFile>

// The whole file; "<none>" where it cannot be read.
inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// Writes the file anew, executable by its owner when asked; false when that failed.
inline bool WriteFile(const QString& path, const QByteArray& bytes, bool executable = false) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return false;
    return !executable || f.setPermissions(f.permissions() | QFile::ExeOwner);
}

// The lines joined by '|', as a log holds them: every line ends in CR LF.
inline QByteArray Crlf(QByteArray lines) {
    return lines.replace('|', "\r\n") + "\r\n";
}
