#include "measure/Processing.h"
#include "common/Numbers.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

QByteArray ApplyExclusion(const QByteArray& response, const QByteArray& pattern) {
    if (pattern.isEmpty()) return response;

    QByteArray result = response;
    QByteArray x = pattern;
    qsizetype before = 0; // characters to drop in front of the match
    qsizetype after = 0;  // characters to drop behind it

    if (!pattern.contains('*')) {
        while (x.startsWith('?')) {
            x.remove(0, 1);
            ++before;
        }
        while (x.endsWith('?')) {
            x.chop(1);
            ++after;
        }
    } else {
        enum class Mode { Literal, KeepFrom, KeepUpTo } mode = Mode::Literal;
        if (pattern.startsWith('*')) {
            x = pattern.mid(1);
            mode = Mode::KeepFrom;
        } else if (pattern.indexOf('*') == pattern.size() - 1) {
            x = pattern.left(pattern.size() - 1);
            mode = Mode::KeepUpTo;
        }
        // An empty needle would "match" everywhere; it describes nothing to cut.
        if (mode != Mode::Literal && !x.isEmpty()) {
            const qsizetype q = result.indexOf(x);
            if (q >= 0) {
                if (mode == Mode::KeepFrom)
                    result = result.mid(q);
                else
                    result = result.left(q + x.size());
            }
        }
    }

    // Only wildcards (or a lone star): nothing to look for.
    if (x.isEmpty()) return result;

    const qsizetype k = result.indexOf(x);
    if (k < 0) return result;
    before = std::min(before, k);
    const qsizetype tail = k + x.size() + after; // may lie past the end
    QByteArray out = result.left(k - before);
    if (tail < result.size()) out += result.mid(tail);
    return out;
}

QByteArray ApplyExclusions(const QByteArray& response, const QByteArray& first,
                           const QByteArray& second) {
    QByteArray answer = response;
    if (!first.isEmpty()) answer = ApplyExclusion(answer, first);
    if (!second.isEmpty()) answer = ApplyExclusion(answer, second);
    return answer;
}

DecimalNotation ToDecimalNotation(const QByteArray& response) {
    DecimalNotation result;
    result.text = response;
    if (response.isEmpty()) return result;
    const char first = response.front();
    if (first != '-' && !(first >= '0' && first <= '9')) return result;
    result.text = NumberText(NumericValue(response));
    result.valid = true;
    return result;
}

QByteArray LocalizeDecimal(const QByteArray& response, const QString& separator) {
    const bool comma = separator == QLatin1String(",");
    const char from = comma ? '.' : ',';
    QByteArray result = response;
    const qsizetype at = result.indexOf(from);
    if (at >= 0) result[at] = comma ? ',' : '.';
    return result;
}

QString SystemDecimalSeparator() {
    return QLocale::system().decimalPoint() == QLatin1String(",") ? QStringLiteral(",")
                                                                  : QStringLiteral(".");
}
