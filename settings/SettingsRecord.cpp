#include "settings/SettingsRecord.h"
#include "common/Numbers.h"
#include "condition/CondSettings.h"
#include "measure/LogFile.h"
#include "platform/Platform.h"
#include "settings/LogFileLocation.h"
#include <cmath>

namespace settings {

const std::array<FieldDef, FieldCount>& Fields() {
    static const std::array<FieldDef, FieldCount> fields = {{
        {Field::LogFilePath, "LogFilePath", "Text_Path", DefaultFolder(), DefaultFolder()},
        {Field::LogFileName, "LogFileName", "Text_FileName", "Test.csv", "test.csv"},
        {Field::Interval, "Interval", "Text_Time(0)", "30", "30"},
        {Field::Sequence, "Sequence", "Text_Time(1)", "21", "21"},
        {Field::IntervalTime, "IntervalTime", "Option_Time", "0", "0"},
        {Field::PCTime, "PCTime", "Check_Log(0)", "0", "0"},
        {Field::TimeFromStart, "TimeFromStart", "Check_Log(1)", "0", "0"},
        {Field::SequenceNumber, "SequenceNumber", "Check_Log(2)", "1", "1"},
        {Field::ManualGPIBAddress, "ManualGPIBAddress", "Combo_Addr", "None", "None"},
        {Field::ID, "ID", "Option_ID", "0", "0"},
        {Field::Device, "Device", "Text_DeviceID", "", ""},
        {Field::Query, "Query", "Text_MeasQuery", "", ""},
        {Field::Exclude1, "Exclude1", "Exclude1", "", ""},
        {Field::Exclude2, "Exclude2", "Exclude2", "", ""},
        {Field::DecNotation, "DecNotation", "DecNotation", "0", "0"},
        {Field::ConditionStatusWord, "ConditionStatusWord", "ConditionStatusWord",
         DefaultConditionStatusWord, DefaultConditionStatusWord},
        {Field::ConditionTargetValue0, "ConditionTargetValue0", "ConditionTargetValue(0)",
         DefaultConditionTargetValue, DefaultConditionTargetValue},
        {Field::ConditionTargetValue1, "ConditionTargetValue1", "ConditionTargetValue(1)",
         DefaultConditionTargetValue, DefaultConditionTargetValue},
        {Field::ConditionGPIBCommand, "ConditionGPIBCommand", "ConditionGPIBCommand", "", ""},
    }};
    return fields;
}

const FieldDef& Def(Field field) {
    return Fields()[std::size_t(field)];
}

namespace {
// The save order with one field moved in front of another.
std::array<Field, FieldCount> SaveOrderWith(Field moved, Field before) {
    std::array<Field, FieldCount> order{};
    std::size_t n = 0;
    for (const FieldDef& def : Fields()) {
        if (def.field == moved) continue;
        if (def.field == before) order[n++] = moved;
        order[n++] = def.field;
    }
    return order;
}
} // namespace

const std::array<Field, FieldCount>& RecallOrder() {
    // The identification mode comes after the device and query, whose boxes it shows or hides.
    static const std::array<Field, FieldCount> order = SaveOrderWith(Field::ID, Field::Exclude1);
    return order;
}

const std::array<Field, FieldCount>& DefaultsOrder() {
    static const std::array<Field, FieldCount> order =
        SaveOrderWith(Field::ID, Field::ManualGPIBAddress);
    return order;
}

QString SectionName(int index) {
    return index == 0 ? QStringLiteral("Settings") : QStringLiteral("Settings%1").arg(index);
}

QString StoredValue(int index, const QString& key, const QString& missing) {
    return platform::Sys().readSetting(AppName, SectionName(index), key, missing);
}

int SetIndexNamed(const QString& choice, const std::function<QString(int)>& storedName) {
    if (choice == QLatin1String("startup")) return 0;
    if (choice.size() == 1 && choice[0] >= QLatin1Char('1') && choice[0] <= QLatin1Char('5'))
        return choice[0].digitValue();
    for (int i = 1; i <= 5; ++i) {
        const QString name = storedName(i);
        if (name != NotSaved && name == choice) return i;
    }
    return -1;
}

bool FlagOf(const QString& stored) {
    return NumericValue(stored) != 0;
}

int IdIndexOf(const QString& stored) {
    // Rounded as an index is: half to even.
    const double index = std::nearbyint(NumericValue(stored));
    return index >= 0 && index <= 2 ? int(index) : 0;
}

bool IsPlainFileName(const QString& name) {
    // A drive letter counts as a folder too, wherever the set was saved.
    return !name.contains(QLatin1Char(':')) && NameStaysInFolder(name);
}

namespace {
bool FitsInBytes(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF) return false;
    return true;
}
} // namespace

QString RecalledValue(Field field, const QString& stored) {
    const FieldDef& def = Def(field);
    if (stored.isNull() || stored.size() > MaxTextLength) return def.recallDefault;
    switch (field) {
    case Field::LogFileName:
        return IsPlainFileName(stored) ? stored : def.recallDefault;
    case Field::IntervalTime:
    case Field::PCTime:
    case Field::TimeFromStart:
    case Field::SequenceNumber:
    case Field::DecNotation:
        return FlagText(FlagOf(stored));
    case Field::ID:
        return QString::number(IdIndexOf(stored));
    case Field::ConditionStatusWord:
        // The 4-character form of older versions cannot be read as today's status word.
        return stored.size() == 4 ? def.recallDefault : stored;
    case Field::Exclude1:
    case Field::Exclude2:
        // A pattern is bytes; a character beyond them would turn into "?", a wildcard.
        return FitsInBytes(stored) ? stored : def.recallDefault;
    default:
        return stored;
    }
}

Record ReadRecord(const Reader& read) {
    Record record;
    for (const FieldDef& def : Fields())
        record[def.field] = RecalledValue(def.field, read(QLatin1String(def.key)));
    return record;
}

Record BuiltInDefaults() {
    Record record;
    for (const FieldDef& def : Fields())
        record[def.field] = def.builtInDefault;
    return record;
}

void WriteRecord(const Writer& write, const Record& record, const QString& setName) {
    for (const FieldDef& def : Fields())
        write(QLatin1String(def.key), record[def.field]);
    write(SetNameKey, setName);
}

QString RecallCaption(const QString& name) {
    return QStringLiteral("Recall: ") + name;
}

QString RecallCaptionAtStart(const QString& name) {
    return name == NotSaved ? NotSaved : RecallCaption(name);
}

QString SaveCaptionAtStart(int index, const QString& name) {
    const QString n = QString::number(index);
    if (name == NotSaved) return "Save Setting" + n + ": (EMPTY)";
    return "Save Setting " + n + ": (" + name + ")";
}

QString SaveCaptionAfterSave(int index, const QString& name) {
    // Set 1 has no colon after its number; the others have.
    const QString n = QString::number(index);
    return "Save Setting" + n + (index == 1 ? "" : ":") + " (" + name + ")";
}

} // namespace settings
