#pragma once
// The terminal's outgoing message list as plain data: the .gmg file format, sorting,
// deleting and searching. Entry 0 of a list is always the help entry.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace term {

inline const QString HelpEntry = QStringLiteral("<Help>");

// Removes blanks (the space character) at both ends.
QString TrimBlanks(const QString& text);

// The entries of a .gmg file, trimmed, empty lines included, in file order. A line ends at
// CR, CR LF or LF; a last line without its end counts.
QStringList ParseMessageList(const QByteArray& fileBytes);
// The file text of a list: every entry but the help entry, trimmed, each ended by CR LF.
QByteArray MessageListBytes(const QStringList& entries);
// The built-in list that a fresh installation starts with.
QStringList DefaultMessages();

// The help entry first, then every other entry sorted ignoring case.
QStringList SortedEntries(const QStringList& entries);
// The entry selected after entry k was deleted from a list that now has `remaining` entries.
int SelectionAfterDelete(int k, int remaining);
// First entry, from index 0, that begins with typed (ignoring case); -1 when none does.
int FindPrefix(const QStringList& entries, const QString& typed);
// First entry, from index 0, equal to text ignoring case; -1 when none is.
int FindEqual(const QStringList& entries, const QString& text);

} // namespace term
