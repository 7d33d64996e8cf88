#pragma once
// Program-wide settings state.
#include <QString>

// Tells the user that something could not be saved in the settings store: what it was, and
// the store's own account of the failure.
void ReportSaveFailure(const QString& what, const QString& failure);

extern bool SettingsChanged; // the entries differ from the saved start-up set
// The identification text and the query of the settings set last recalled (the query also as
// the test dialog last accepted it): they tell for which instrument the exclusions were made.
extern QString DeviceID;
extern QString MeasQuery;
