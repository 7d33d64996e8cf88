#include "condition/CondSettings.h"
#include <algorithm>

namespace {

// A hexadecimal digit's value; anything else reads as 0.
int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return 0;
}

bool IsHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

QString PadLeft(QString text, int width) {
    if (text.size() < width) text.prepend(QString(width - text.size(), QLatin1Char('0')));
    return text;
}

// Character `position` (from 1) as a digit; past the end reads as 0.
int DigitAt(const QString& word, int position) {
    return position <= word.size() ? HexDigit(word.at(position - 1)) : 0;
}

int BitsAt(const QString& bits, int first, int last) {
    return int(BinToDec(bits.mid(first - 1, last - first + 1)));
}

} // namespace

QString DecToBin(std::uint32_t n, std::int16_t width) {
    QString bits;
    do {
        bits.prepend(QLatin1Char(n & 1 ? '1' : '0'));
        n >>= 1;
    } while (n != 0);
    return PadLeft(bits, width);
}

std::uint32_t BinToDec(const QString& bits) {
    // Each character weighs as the digit it shows; 32-bit arithmetic wraps like the word does.
    std::uint32_t value = 0;
    std::uint32_t weight = 1;
    for (qsizetype i = bits.size() - 1; i >= 0; --i) {
        const char16_t u = bits.at(i).unicode();
        if (u >= '1' && u <= '9') value += std::uint32_t(u - '0') * weight;
        weight <<= 1;
    }
    return value;
}

QString BinToHex(const QString& bits, std::int16_t width) {
    return PadLeft(QString::number(BinToDec(bits), 16).toUpper(), width);
}

QString HexToBin(const QString& text, std::int16_t width) {
    QString bits;
    bits.reserve(text.size() * 4);
    for (QChar c : text)
        bits += DecToBin(std::uint32_t(HexDigit(c)), 4);
    return PadLeft(bits, width);
}

CondFields FieldsByBit(const QString& word) {
    const QString bits = HexToBin(word, StatusWordBits);
    CondFields f;
    f.flagDigit = BitsAt(bits, 1, 4);
    f.condOn = BitsAt(bits, 2, 2);
    f.sendAtEnd = BitsAt(bits, 3, 3);
    f.endSeq = BitsAt(bits, 4, 4);
    f.gpibAddr = BitsAt(bits, 5, 12);
    f.noOfCond = BitsAt(bits, 13, 20);
    f.pct[1] = BitsAt(bits, 21, 28);
    f.pct[0] = BitsAt(bits, 29, 36);
    f.modeDigit = BitsAt(bits, 37, 40);
    f.maxMinusPct = BitsAt(bits, 37, 37);
    f.cond1Mode = BitsAt(bits, 38, 40);
    f.selection = BitsAt(bits, 41, 44);
    return f;
}

CondFields FieldsByChar(const QString& word) {
    const auto pair = [&](int first) {
        return DigitAt(word, first) * 16 + DigitAt(word, first + 1);
    };
    CondFields f;
    f.flagDigit = DigitAt(word, 1);
    f.condOn = f.flagDigit & 4;
    f.sendAtEnd = f.flagDigit & 2;
    f.endSeq = f.flagDigit & 1;
    f.gpibAddr = pair(2);
    f.noOfCond = pair(4);
    f.pct[1] = pair(6);
    f.pct[0] = pair(8);
    f.modeDigit = DigitAt(word, 10);
    f.maxMinusPct = f.modeDigit & 8;
    f.cond1Mode = f.modeDigit & 7;
    f.selection = DigitAt(word, 11);
    return f;
}

bool InRange(const QString& word) {
    if (word.size() != StatusWordLength || !std::ranges::all_of(word, IsHexDigit)) return false;
    const CondFields f = FieldsByChar(word);
    const auto within = [](int v, int low, int high) { return v >= low && v <= high; };
    const bool oneMode =
        f.cond1Mode == LessThan || f.cond1Mode == GreaterThan || f.cond1Mode == EqualTo;
    return within(f.flagDigit, 0, 7) && within(f.gpibAddr, 0, 30) && within(f.noOfCond, 1, 30) &&
           within(f.pct[0], 0, 30) && within(f.pct[1], 0, 30) && oneMode &&
           within(f.selection, 0, 3);
}

QString WriteStatusWord(const CondControls& c) {
    // Built from the end towards the start, each piece in front of the last.
    QString word = BinToHex(DecToBin(2 * c.select[1] + c.select[0], 4), 1);
    QString mode;
    for (int i : {3, 2, 1, 0})
        mode += QLatin1Char(c.option[i] ? '1' : '0');
    word.prepend(BinToHex(mode, 1));
    for (int value : {c.pct[0], c.pct[1], c.noOfCond, c.gpibAddr})
        word.prepend(BinToHex(DecToBin(std::uint32_t(value), 8), 2));
    word.prepend(QString::number(4 * c.condOn + 2 * c.sendAtEnd + c.endSeq));
    return word;
}

bool IsCondOn(const QString& word) {
    return !word.isEmpty() && HexDigit(word.at(0)) > 3;
}

QString SwitchedOff(const QString& word) {
    if (!IsCondOn(word)) return word;
    // Keeping only the two low bits is "minus 4" for the digits the dialog writes, and it
    // also switches off a hand-made digit of 8 or more, which "minus 4" would leave on.
    QString off = word;
    off.replace(0, 1, QString::number(HexDigit(word.at(0)) & 3));
    return off;
}

CondControls ControlsFromFields(const CondFields& f) {
    CondControls c;
    c.select = {f.condSelect(0), f.condSelect(1)};
    for (int i = 0; i < 3; ++i) {
        if (f.cond1Mode & (1 << i)) {
            c.option[i] = true;
            break;
        }
    }
    c.option[3] = f.maxMinusPct;
    c.option[4] = !f.maxMinusPct;
    c.pct = f.pct;
    c.noOfCond = f.noOfCond;
    c.gpibAddr = f.gpibAddr;
    c.condOn = f.condOn;
    c.sendAtEnd = f.sendAtEnd;
    c.endSeq = f.endSeq;
    return c;
}

QString MergeStatusWord(const QString& stored, const QString& atLoad, const QString& built) {
    if (InRange(stored)) return built;
    if (stored.size() != StatusWordLength || atLoad.size() != StatusWordLength ||
        built.size() != StatusWordLength)
        return built;
    QString word = built;
    struct Span {
        int first, length;
    };
    for (const Span s :
         {Span{1, 1}, Span{4, 2}, Span{6, 2}, Span{8, 2}, Span{10, 1}, Span{11, 1}}) {
        if (built.mid(s.first - 1, s.length) == atLoad.mid(s.first - 1, s.length))
            word.replace(s.first - 1, s.length, stored.mid(s.first - 1, s.length));
    }
    return word;
}
