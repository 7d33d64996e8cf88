#pragma once
// The program's name and version as the title, the about box and the command line show them.
#include <QString>

inline const QString AppTitle = QStringLiteral("Sequor");
// The release date text shown in the title and the splash.
inline const QString VersionDate = QStringLiteral("July 2009 rev. March 2023");
// Major "." minor and revision written together: version 2.1 revision 0 gives "2.10".
inline QString AppVersion() {
    return QStringLiteral("%1.%2%3")
        .arg(SEQUOR_VERSION_MAJOR)
        .arg(SEQUOR_VERSION_MINOR)
        .arg(SEQUOR_VERSION_PATCH);
}
// "Sequor, v2.10 - July 2009 rev. March 2023": the window title and what --version prints.
inline QString TitleText() {
    return AppTitle + ", v" + AppVersion() + " - " + VersionDate;
}
