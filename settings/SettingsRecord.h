#pragma once
// The settings record: every value a run set-up consists of, defined once. Saving, recalling,
// the built-in defaults and the exit question all walk this one table, so a key cannot be
// saved under one name and read under another.
#include <QString>
#include <array>
#include <cstddef>
#include <functional>

namespace settings {

// In the order the keys are written to the store.
enum class Field {
    LogFilePath,
    LogFileName,
    Interval,
    Sequence,
    IntervalTime,
    PCTime,
    TimeFromStart,
    SequenceNumber,
    ManualGPIBAddress,
    ID,
    Device,
    Query,
    Exclude1,
    Exclude2,
    DecNotation,
    ConditionStatusWord,
    ConditionTargetValue0,
    ConditionTargetValue1,
    ConditionGPIBCommand,
};
inline constexpr std::size_t FieldCount = 19;

struct FieldDef {
    Field field;
    const char* key;
    const char* source;     // the main window control or settings::Settings member it lives in
    QString recallDefault;  // used where the store has no such key
    QString builtInDefault; // what Recall Default puts in, in stored form
};

// Every field, in save order.
const std::array<FieldDef, FieldCount>& Fields();
const FieldDef& Def(Field field);

// The record's values in stored (text) form, indexed by Field.
struct Record {
    std::array<QString, FieldCount> values;
    QString& operator[](Field f) { return values[std::size_t(f)]; }
    const QString& operator[](Field f) const { return values[std::size_t(f)]; }
    bool operator==(const Record&) const = default;
};

// The order in which a recall writes the values into the window (its change handlers run as
// they go, so the order is part of the behaviour).
const std::array<Field, FieldCount>& RecallOrder();
// The order of Recall Default.
const std::array<Field, FieldCount>& DefaultsOrder();

inline const QString AppName = QStringLiteral("Sequor");
inline const QString SetNameKey = QStringLiteral("SetName");
inline const QString NotSaved = QStringLiteral("Not Saved");

// "Settings" for the start-up set (0), "Settings1" to "Settings5" for the named sets.
QString SectionName(int index);

// A value of set index (0 the start-up set) in the per-user store; missing when absent.
QString StoredValue(int index, const QString& key, const QString& missing);

// The set a command line names: "startup" is 0, "1" to "5" that set, any other text the first
// set saved under that name; -1 for none. storedName(i) reads set i's SetName (NotSaved when
// missing).
int SetIndexNamed(const QString& choice, const std::function<QString(int index)>& storedName);

// Longest text a stored value may hold; a longer one is damaged (a text box would cut it).
inline constexpr qsizetype MaxTextLength = 32767;

// The value a recall uses for a field, from the stored text (a null QString: key missing).
// Odd or damaged values give the recall default; the result is always in stored form.
QString RecalledValue(Field field, const QString& stored);

using Reader = std::function<QString(const QString& key)>; // null QString when missing
using Writer = std::function<void(const QString& key, const QString& value)>;

Record ReadRecord(const Reader& read);
Record BuiltInDefaults();
// Writes every field in save order, then the set's name.
void WriteRecord(const Writer& write, const Record& record, const QString& setName);

// Flags in stored form.
inline QString FlagText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
// A stored flag: any number but 0 is on (older versions wrote -1 for True).
bool FlagOf(const QString& stored);
// The option index 0 to 2 of ID; anything else gives 0.
int IdIndexOf(const QString& stored);

// Menu captions of the named sets.
// As read at first activation; a set never saved shows "Not Saved".
QString RecallCaptionAtStart(const QString& name);
QString SaveCaptionAtStart(int index, const QString& name);
// After a save (they differ from the start-up ones in spacing and colon).
QString RecallCaption(const QString& name);
QString SaveCaptionAfterSave(int index, const QString& name);

// The log file name rule: a name that is no plain file name (it holds a drive or folder, or
// names a folder itself) would put the log somewhere else than the chosen folder.
bool IsPlainFileName(const QString& name);

} // namespace settings
