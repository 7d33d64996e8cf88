#include "settings/SaveFailure.h"
#include "platform/Platform.h"

void ReportSaveFailure(const QString& what, const QString& failure) {
    platform::MsgBox("Save Settings Error", what + " could not be saved.\n" + failure,
                     platform::Buttons::Ok, platform::Icon::Critical);
}
