// Fuzzes the .gmg reader and writer and the incoming box's line building: no crash, no text
// lost or split wrongly, and a list written and read again is the same list.
#include "terminal/IncomingBox.h"
#include "terminal/MessageList.h"
#include <QStringList>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void ListFile(const QByteArray& data) {
    const QStringList entries = term::ParseMessageList(data);
    for (const QString& e : entries)
        Check(!e.contains(u'\r') && !e.contains(u'\n') && !e.startsWith(u' ') && !e.endsWith(u' '));
    // Written and read back: the same entries, less the help entries.
    QStringList kept;
    for (const QString& e : entries)
        if (e != term::HelpEntry) kept << e;
    Check(term::ParseMessageList(term::MessageListBytes(entries)) == kept);
}

void Lines(const QByteArray& data) {
    const int address = data.isEmpty() ? 0 : static_cast<unsigned char>(data[0]) % 31;
    const QString msg = QString::fromLatin1(data.mid(1));
    const QString block = term::IncomingLines(address, msg);
    const QString prefix = QString::asprintf("%02d: ", address);
    // Walk the block by its structure, since the answer may hold CR and LF itself.
    QString text;
    qsizetype at = 0;
    qsizetype lines = 0;
    while (at < block.size()) {
        Check(block.mid(at, 4) == prefix);
        const qsizetype take =
            std::min<qsizetype>(term::IncomingLineLength, msg.size() - text.size());
        Check(take > 0);
        text += block.mid(at + 4, take);
        Check(block.mid(at + 4 + take, 2) == QStringLiteral("\r\n"));
        at += 4 + take + 2;
        ++lines;
    }
    Check(text == msg);
    Check(lines == (msg.size() + term::IncomingLineLength - 1) / term::IncomingLineLength);
    // What is shown keeps one character per byte apart from line ends.
    const QString shown = term::DisplayText(msg);
    Check(shown.size() == msg.size() - msg.count(QStringLiteral("\r\n")));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const QByteArray data(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    ListFile(data);
    Lines(data);
    return 0;
}
