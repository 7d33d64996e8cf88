#pragma once
// Program-wide settings state.
#include <QString>

extern bool SettingsChanged; // the entries differ from the saved start-up set
// The identification text and the query of the settings set last recalled (the query also as
// the test dialog last accepted it): they tell for which instrument the exclusions were made.
extern QString DeviceID;
extern QString MeasQuery;
