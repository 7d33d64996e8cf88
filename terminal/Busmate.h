#pragma once
// The terminal's plain rules: what a message is, how answers are laid out in the incoming
// box and whether they fit, the help text, the stored options and the syntax check bytes.
#include "terminal/IncomingBox.h"
#include <QByteArray>
#include <QString>
#include <array>

namespace term {

// The terminal's own version and the caption version text.
QString VerBM();
inline const QString WindowCaption = QStringLiteral("Busmate, v1.91 - Jan 2017");

// ---- Messages

struct OutgoingMessage {
    QByteArray msg; // what is written: trimmed, the first "??" removed
    bool query = false;
};
// A message is a query when it holds a question mark anywhere.
OutgoingMessage PrepareMessage(const QByteArray& outgoingText);
// The message with CR and then LF appended as ticked.
QByteArray WithLineEnds(QByteArray msg, bool addCr, bool addLf);

// Text answers of Id All: blanks trimmed at both ends, every CR and LF removed.
QByteArray IdAnswer(const QByteArray& received);

// ---- Help

QString HelpText(const QString& startupListFile);

// ---- Options kept in the settings store

inline const QString OptionApp = QStringLiteral("Busmate");
inline const QString OptionSection = QStringLiteral("Settings");
constexpr int OptionCount = 10;
struct OptionKey {
    const char* key;
    const char* defaultValue;
};
// In OptionChanged order: bmID, bmIDN, CheckListForMatch, Caps, AllowMultipleCommands,
// bmAddCR, bmAddLF, bmSelectNextListItem, AutoClear, SendToFile.
extern const std::array<OptionKey, OptionCount> OptionKeys;
using OptionValues = std::array<bool, OptionCount>;
// The stored options, defaults for missing ones; any number but 0 ticks.
OptionValues ReadOptions();
// Writes the options whose changed flag is set, as "1" or "0". Empty when all reached the
// store, else what failed.
QString WriteOptions(const OptionValues& values, const OptionValues& changed);

// ---- Syntax checking

// Status bytes that mean a command error: method 1 (status registers) 0x60 and 0x70,
// method -1 (serial poll) 0x61 and 0x71.
bool IsSyntaxError(int method, int statusByte);
QString SyntaxFrameCaption(int address);

// ---- Files

// The start-up list file inside a folder, without a doubled separator at a root.
QString StartupListPath(const QString& folder);
// The folder of a chosen file with its trailing separator.
QString FolderOf(const QString& path);
// A file's name as announced in the incoming box: more than 30 characters are cut to 27 and "...".
QString ShortFileName(const QString& name);
// The texts shown around a data file's content.
QString DataFileBegin(const QString& fileName);
inline const QString DataFileEnd = QStringLiteral("\r\n*** End Data File ***\r\n");

// The closing question about an unsaved list.
QString ExitQuestion(const QString& startupListFile, const QString& currentListFile);

} // namespace term
