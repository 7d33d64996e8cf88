#pragma once
// The conditional command's settings: three texts, one of them the packed status word, and the
// conversions every reader and writer of that word uses.
#include <QString>
#include <array>
#include <cstdint>

inline const QString DefaultConditionStatusWord = QStringLiteral("3000A0A0AC1");
inline const QString DefaultConditionTargetValue = QStringLiteral("10");

struct CondCommand {
    QString ConditionStatusWord = DefaultConditionStatusWord; // 11 hexadecimal digits
    // The target of condition 1, the amount of condition 2.
    std::array<QString, 2> ConditionTargetValue{DefaultConditionTargetValue,
                                                DefaultConditionTargetValue};
    QString ConditionGPIBCommand{}; // sent to the second device
    bool operator==(const CondCommand&) const = default;
};

constexpr int StatusWordLength = 11;
constexpr int StatusWordBits = 44;

// Bit strings are texts of "0" and "1", most significant bit first. Results longer than the
// width are returned whole, never cut.
QString DecToBin(std::uint32_t n, std::int16_t width);
std::uint32_t BinToDec(const QString& bits);
QString BinToHex(const QString& bits, std::int16_t width);
// A character that is not a hexadecimal digit expands to 0000.
QString HexToBin(const QString& text, std::int16_t width);

// Condition 1 modes as their bits in character 10.
enum Cond1Mode : int { LessThan = 1, GreaterThan = 2, EqualTo = 4 };

// The fields of a status word.
struct CondFields {
    bool condOn = false;
    bool sendAtEnd = false;
    bool endSeq = false;
    int gpibAddr = 0;
    int noOfCond = 0;
    std::array<int, 2> pct{};
    int cond1Mode = 0;        // the three bits as they stand: 1, 2 or 4 when well formed
    bool maxMinusPct = false; // condition 2: percentage (true) or amount (false)
    int selection = 0;        // 2 x CondSelect(1) + CondSelect(0), bits above kept
    int flagDigit = 0;        // character 1 as a number
    int modeDigit = 0;        // character 10 as a number

    bool condSelect(int i) const { return (selection >> i) & 1; }
    bool operator==(const CondFields&) const = default;
};

// The run's reading: the word expanded to 44 bits (a short word padded on the left).
CondFields FieldsByBit(const QString& word);
// The dialog's and the report's reading: by character position; a missing character reads 0.
CondFields FieldsByChar(const QString& word);
// True when every field lies in the range the dialog can show and the word has 11 digits.
bool InRange(const QString& word);

// What the dialog's controls hold, as the writer takes it.
struct CondControls {
    bool condOn = false, sendAtEnd = false, endSeq = false;
    int gpibAddr = 0;             // 0 for "None"
    int noOfCond = 1;             // count list position + 1
    std::array<int, 2> pct{};     // list positions
    std::array<bool, 5> option{}; // Option_Cond(0) to (4)
    std::array<bool, 2> select{};
};
QString WriteStatusWord(const CondControls& c);

// On when the first character, read as a hexadecimal digit, is above 3.
bool IsCondOn(const QString& word);
// The word with its on bit cleared; an off word as it is.
QString SwitchedOff(const QString& word);

// The controls as the dialog fills them from a word's fields: condition 1 takes the lowest set
// mode bit, none when no bit is set.
CondControls ControlsFromFields(const CondFields& f);

// The word the dialog's OK stores. A word in range is written from the controls. For one out of
// range, `built` is written from the controls now, `atLoad` from
// the controls as loading left them. A field whose controls the user left as loaded keeps its
// stored characters, so a hand-made word is not rewritten behind the user's back. The address
// is always written: one no longer on the bus is dropped, as the dialog showed "None".
QString MergeStatusWord(const QString& stored, const QString& atLoad, const QString& built);
