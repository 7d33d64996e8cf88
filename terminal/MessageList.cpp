#include "terminal/MessageList.h"
#include <algorithm>

namespace term {

QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

QStringList ParseMessageList(const QByteArray& fileBytes) {
    QStringList entries;
    qsizetype start = 0;
    const qsizetype n = fileBytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = fileBytes.at(i);
        if (c != '\r' && c != '\n') continue;
        entries << TrimBlanks(QString::fromLatin1(fileBytes.mid(start, i - start)));
        if (c == '\r' && i + 1 < n && fileBytes.at(i + 1) == '\n') ++i;
        start = i + 1;
    }
    if (start < n) entries << TrimBlanks(QString::fromLatin1(fileBytes.mid(start)));
    return entries;
}

QByteArray MessageListBytes(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries)
        if (entry != HelpEntry) bytes += TrimBlanks(entry).toLatin1() + "\r\n";
    return bytes;
}

QStringList DefaultMessages() {
    return {"ID?", "*IDN?", "INIT", "FAC", "SET?"};
}

QStringList SortedEntries(const QStringList& entries) {
    QStringList rest;
    for (const QString& entry : entries)
        if (entry != HelpEntry) rest << entry;
    std::stable_sort(rest.begin(), rest.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return QStringList{HelpEntry} + rest;
}

int SelectionAfterDelete(int k, int remaining) {
    if (k >= 2 || remaining <= 1) --k;
    return std::clamp(k, 0, std::max(remaining - 1, 0));
}

int FindPrefix(const QStringList& entries, const QString& typed) {
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).startsWith(typed, Qt::CaseInsensitive)) return i;
    return -1;
}

int FindEqual(const QStringList& entries, const QString& text) {
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).compare(text, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

} // namespace term
