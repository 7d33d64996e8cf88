#include "settings/LogFileLocation.h"
#include <QDir>
#include <algorithm>

int FileNameKey(int keyAscii, const QString& name) {
    const bool letter =
        (keyAscii >= 'A' && keyAscii <= 'Z') || (keyAscii >= 'a' && keyAscii <= 'z');
    const bool digit = keyAscii >= '0' && keyAscii <= '9';
    if (keyAscii == 8 || keyAscii == '-' || keyAscii == '_' || letter || digit) return keyAscii;
    if (keyAscii == '.' && !name.contains('.')) return keyAscii;
    return 0;
}

bool LacksCsvExtension(const QString& name) {
    return !name.toLower().contains(".csv");
}

QString WithCsvExtension(const QString& name) {
    return name + (name.endsWith('.') ? "csv" : ".csv");
}

QString FolderOf(const QString& fullPath) {
    const qsizetype cut = std::max(fullPath.lastIndexOf('/'), fullPath.lastIndexOf('\\'));
    if (cut < 0) return {};
    return cut == 0 ? fullPath.left(1) : fullPath.left(cut);
}

QString DefaultFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\");
#else
    return QDir::homePath();
#endif
}
