#pragma once
// The conditional command's settings in words, as the settings report shows them.
#include <QString>
#include <array>

QString CondSettingsText(const QString& statusWord, const std::array<QString, 2>& targetValue,
                         const QString& command);
