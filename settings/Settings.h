#pragma once
// The settings of a run set-up that no control of the main window holds: how answers are
// cleaned, and the conditional command. Whatever changes them marks the settings changed (so
// does an edit of a control that holds a setting, through markChanged); the exit question asks
// while they are.
#include "condition/CondSettings.h"
#include "measure/Processing.h"
#include "settings/SettingsRecord.h"
#include <optional>

namespace settings {

class Settings {
public:
    const MeasurementSettings& measurement() const { return measurement_; }
    const CondCommand& condCommand() const { return condCommand_; }
    bool condOn() const { return IsCondOn(condCommand_.ConditionStatusWord); }

    // What a dialog's OK stores; the settings count as changed when a value differs.
    void setMeasurement(const MeasurementSettings& measurement);
    void setCondCommand(const CondCommand& command);
    // Clears the on bit of the status word and marks the settings changed; nothing when off.
    void SwitchCondOff();
    // The user's number format, found at the first activation; no setting of a set.
    void setDecimalSeparator(const QString& separator);

    // A field of the record in stored form; none for a field a control holds.
    std::optional<QString> stored(Field field) const;
    // A recall or Recall Default puts a stored value in; loading a set is no edit, so nothing
    // is marked. Device and Query land in DeviceID and MeasQuery.
    void load(Field field, const QString& value);

    bool changed() const { return SettingsChanged; }
    void markChanged() { SettingsChanged = true; }
    // The entries are the start-up set's again: it has just been saved or recalled.
    void markSaved() { SettingsChanged = false; }

private:
    bool SettingsChanged = false;
    MeasurementSettings measurement_;
    CondCommand condCommand_;
};

} // namespace settings
