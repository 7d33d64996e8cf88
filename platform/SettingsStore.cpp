#include "platform/SettingsStore.h"
#include <QDir>
#include <QSettings>

namespace platform {

namespace {

// QSettings remembers the config folder per process; point it at the current one before each
// use so a changed XDG_CONFIG_HOME is followed.
void pointStoreAtConfigFolder() {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, SettingsBaseFolder());
}

} // namespace

QString SettingsBaseFolder() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG rules say a relative value is to be ignored.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

QString ReadStoredSetting(const QString& application, const QString& section, const QString& key,
                          const QString& defaultValue) {
    pointStoreAtConfigFolder();
    const QSettings s(QSettings::IniFormat, QSettings::UserScope, application, application);
    const QVariant v = s.value(section + QLatin1Char('/') + key);
    if (!v.isValid()) return defaultValue;
    // A hand-edited file may hold an unquoted list; give it back as the text it was.
    if (v.userType() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QString WriteStoredSetting(const QString& application, const QString& section, const QString& key,
                           const QString& value) {
    // A settings object per call, synced at once: nothing is left pending if the program
    // ends right after.
    pointStoreAtConfigFolder();
    QSettings s(QSettings::IniFormat, QSettings::UserScope, application, application);
    s.setValue(section + QLatin1Char('/') + key, value);
    s.sync();
    if (s.status() == QSettings::NoError) return {};
    return s.fileName() + QStringLiteral(" could not be written.");
}

} // namespace platform
