#include "measure/Conditions.h"

QString TermReason;
