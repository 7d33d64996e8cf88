#pragma once
#include <QString>

// Tells the user that something could not be saved in the settings store: what it was, and
// the store's own account of the failure.
void ReportSaveFailure(const QString& what, const QString& failure);
