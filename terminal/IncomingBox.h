#pragma once
// The incoming box's text: answers laid out in addressed lines, the box's capacity, and what
// the box shows of the bytes it holds.
#include <QByteArray>
#include <QString>

namespace term {

constexpr int IncomingCapacity = 32768;
constexpr int IncomingLineLength = 50;

enum class Fit { Fits, TooLarge, ClearFirst };
// Whether an answer of n characters fits into a box holding `current` characters: each line
// costs 6 characters of prefix and line end beyond its text.
Fit CheckFit(qint64 n, qint64 current);
// The lines an answer takes for the size check (n / 50 rounded half to even, plus one).
qint64 SizeLines(qint64 n);
// The block an answer adds on top of the incoming box: "NN: " and up to 50 characters per
// line, each ended by CR LF. Empty for an empty answer.
QString IncomingLines(int address, const QString& msg);
// The byte count caption: the number with a blank for its sign and a trailing blank.
QString CountCaption(qint64 n);
// What the incoming box shows of its text: line ends as line breaks, other control bytes as
// visible symbols, so that nothing after them is lost from view.
QString DisplayText(const QString& incoming);

// The lines of a data file as the incoming box shows them: split at CR or CR LF (a lone LF
// stays inside its line), joined by CR LF.
QString DataFileText(const QByteArray& bytes);

} // namespace term
