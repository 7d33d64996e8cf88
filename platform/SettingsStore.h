#pragma once
// The per-user settings store as a file per application, shared by the desktop and by runs
// without a window.
#include <QString>

namespace platform {

// The folder the per-user settings live under: XDG_CONFIG_HOME when it is an absolute path,
// else ~/.config, read afresh on every call.
QString SettingsBaseFolder();

QString ReadStoredSetting(const QString& application, const QString& section, const QString& key,
                          const QString& defaultValue);
// Empty when the value reached the store; otherwise what failed, naming the store.
QString WriteStoredSetting(const QString& application, const QString& section, const QString& key,
                           const QString& value);

} // namespace platform
