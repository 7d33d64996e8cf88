#include "settings/Settings.h"

namespace settings {

void Settings::setMeasurement(const MeasurementSettings& measurement) {
    if (measurement == measurement_) return;
    measurement_ = measurement;
    SettingsChanged = true;
}

void Settings::setCondCommand(const CondCommand& command) {
    if (command == condCommand_) return;
    condCommand_ = command;
    SettingsChanged = true;
}

void Settings::SwitchCondOff() {
    if (!condOn()) return;
    condCommand_.ConditionStatusWord = SwitchedOff(condCommand_.ConditionStatusWord);
    SettingsChanged = true;
}

void Settings::setDecimalSeparator(const QString& separator) {
    measurement_.DecimalSeparator = separator;
}

std::optional<QString> Settings::stored(Field field) const {
    switch (field) {
    case Field::Exclude1:
        return QString::fromLatin1(measurement_.Exclude1);
    case Field::Exclude2:
        return QString::fromLatin1(measurement_.Exclude2);
    case Field::DecNotation:
        return FlagText(measurement_.DecNotation);
    case Field::ConditionStatusWord:
        return condCommand_.ConditionStatusWord;
    case Field::ConditionTargetValue0:
        return condCommand_.ConditionTargetValue[0];
    case Field::ConditionTargetValue1:
        return condCommand_.ConditionTargetValue[1];
    case Field::ConditionGPIBCommand:
        return condCommand_.ConditionGPIBCommand;
    default:
        return std::nullopt;
    }
}

void Settings::load(Field field, const QString& value) {
    switch (field) {
    case Field::Device:
        measurement_.DeviceID = value;
        break;
    case Field::Query:
        measurement_.MeasQuery = value;
        break;
    case Field::Exclude1:
        measurement_.Exclude1 = value.toLatin1();
        break;
    case Field::Exclude2:
        measurement_.Exclude2 = value.toLatin1();
        break;
    case Field::DecNotation:
        measurement_.DecNotation = value == QLatin1String("1");
        break;
    case Field::ConditionStatusWord:
        condCommand_.ConditionStatusWord = value;
        break;
    case Field::ConditionTargetValue0:
        condCommand_.ConditionTargetValue[0] = value;
        break;
    case Field::ConditionTargetValue1:
        condCommand_.ConditionTargetValue[1] = value;
        break;
    case Field::ConditionGPIBCommand:
        condCommand_.ConditionGPIBCommand = value;
        break;
    default:
        break;
    }
}

} // namespace settings
