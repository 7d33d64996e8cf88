#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include <QtGlobal>

namespace platform {

namespace {
Platform* current = nullptr;
} // namespace

Platform& Sys() {
    // The program's entry installs the desktop, a test its scripted double; reaching outside
    // with neither would show nothing and answer nothing.
    if (!current) qFatal("No platform installed: install the desktop or a test double first.");
    return *current;
}

QString Platform::readSetting(const QString& application, const QString& section,
                              const QString& key, const QString& defaultValue) {
    return ReadStoredSetting(application, section, key, defaultValue);
}

QString Platform::writeSetting(const QString& application, const QString& section,
                               const QString& key, const QString& value) {
    return WriteStoredSetting(application, section, key, value);
}

Platform* Installed() {
    return current;
}

void SetPlatform(Platform* platform) {
    current = platform;
}

Answer MsgBox(const QString& title, const QString& text, Buttons buttons, Icon icon,
              Answer defaultButton) {
    return Sys().messageBox(title, text, buttons, icon, defaultButton);
}

} // namespace platform
