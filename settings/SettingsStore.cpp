#include "settings/SettingsStore.h"
#include "platform/Platform.h"

bool SettingsChanged = false;
QString DeviceID;
QString MeasQuery;

void ReportSaveFailure(const QString& what, const QString& failure) {
    platform::MsgBox("Save Settings Error", what + " could not be saved.\n" + failure,
                     platform::Buttons::Ok, platform::Icon::Critical);
}
