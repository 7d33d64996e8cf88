#pragma once
#include <QString>

// Why the last run was terminated by a condition; empty when it was not.
extern QString TermReason;
