#include "terminal/IncomingBox.h"
#include <QStringList>
#include <cstdlib>

namespace term {

qint64 SizeLines(qint64 n) {
    qint64 q = n / IncomingLineLength;
    const qint64 r = n % IncomingLineLength;
    if (r * 2 > IncomingLineLength || (r * 2 == IncomingLineLength && (q & 1))) ++q;
    return q + 1;
}

// Counted in 64 bits: an answer of any length is judged, none wraps round to "fits".
Fit CheckFit(qint64 n, qint64 current) {
    const qint64 size = SizeLines(n) * 6 + n;
    if (size > IncomingCapacity) return Fit::TooLarge;
    if (size + current > IncomingCapacity) return Fit::ClearFirst;
    return Fit::Fits;
}

QString IncomingLines(int address, const QString& msg) {
    const QString prefix =
        QStringLiteral("%1: ").arg(std::abs(address) % 100, 2, 10, QLatin1Char('0'));
    QString block;
    block.reserve(msg.size() + (msg.size() / IncomingLineLength + 1) * 6);
    for (qsizetype i = 0; i < msg.size(); i += IncomingLineLength)
        block += prefix + msg.mid(i, IncomingLineLength) + QStringLiteral("\r\n");
    return block;
}

QString CountCaption(qint64 n) {
    return (n < 0 ? QString() : QStringLiteral(" ")) + QString::number(n) + QStringLiteral(" ");
}

QString DisplayText(const QString& incoming) {
    QString shown;
    shown.reserve(incoming.size());
    const qsizetype n = incoming.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = incoming.at(i).unicode();
        if (c == u'\r') {
            shown += u'\n';
            if (i + 1 < n && incoming.at(i + 1) == u'\n') ++i;
        } else if (c == u'\n' || c == u'\t') {
            shown += QChar(c);
        } else if (c < 0x20) {
            shown += QChar(char16_t(0x2400 + c)); // the control picture of that byte
        } else if (c == 0x7F) {
            shown += QChar(char16_t(0x2421));
        } else {
            shown += QChar(c);
        }
    }
    return shown;
}

QString DataFileText(const QByteArray& bytes) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes.at(i) != '\r') continue;
        lines << QString::fromLatin1(bytes.mid(start, i - start));
        if (i + 1 < n && bytes.at(i + 1) == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines << QString::fromLatin1(bytes.mid(start));
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace term
