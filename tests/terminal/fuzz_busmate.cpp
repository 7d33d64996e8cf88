// Fuzzes the .gmg reader and writer: no crash, and a list written and read again is the same
// list.
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
    // Written and read back: the same entries, less the help entries. An entry split wrongly,
    // or holding a line end or outer blanks, would not come back the same.
    QStringList kept;
    for (const QString& e : entries)
        if (e != term::HelpEntry) kept << e;
    Check(term::ParseMessageList(term::MessageListBytes(entries)) == kept);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const QByteArray data(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    ListFile(data);
    return 0;
}
