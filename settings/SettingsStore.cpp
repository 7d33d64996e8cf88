#include "settings/SettingsStore.h"

bool SettingsChanged = false;
QString DeviceID;
QString MeasQuery;
