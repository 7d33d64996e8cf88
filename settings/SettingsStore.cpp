#include "settings/SettingsStore.h"

bool SettingsChanged = false;
