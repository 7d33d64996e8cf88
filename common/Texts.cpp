#include "common/Texts.h"
#include "common/Numbers.h"

#include <cmath>

namespace {

// The minute and second counts are 16-bit values; clamping keeps absurd inputs defined.
int ToInt16(float v) {
    if (!(v > -32768.0f)) return -32768;
    if (v > 32767.0f) return 32767;
    return static_cast<int>(v);
}

QString Padded(const QString& part, int width) {
    return part.size() < width ? QString(width - part.size(), QLatin1Char('0')) + part : part;
}

QString FormatNonNegative(float seconds, int mode) {
    QString hoursPart, minutesPart, secondsPart;

    const float h = std::trunc(seconds / 3600.0f);
    if (h != 0) {
        const QString number = QString::fromLatin1(NumberText(h).trimmed());
        if (mode == 2)
            hoursPart = number + QLatin1Char(':');
        else if (mode == 1)
            hoursPart = number + (h <= 1 ? QLatin1String(" hour ") : QLatin1String(" hours "));
        else
            hoursPart = number + QLatin1String(" h ");
        seconds = seconds - h * 3600.0f;
    } else if (mode == 2) {
        hoursPart = QStringLiteral("0:");
    }

    const int m = ToInt16(std::trunc(seconds / 60.0f));
    if (m != 0) {
        const QString number = QString::number(m);
        if (mode == 2)
            minutesPart = Padded(number + QLatin1Char(':'), 3);
        else if (mode == 1)
            minutesPart = number + (m < 2 ? QLatin1String(" minute ") : QLatin1String(" minutes "));
        else
            minutesPart = number + QLatin1String(" m ");
        seconds = seconds - static_cast<float>(m) * 60.0f;
    } else if (mode == 2) {
        minutesPart = QStringLiteral("00:");
    }

    // Rounded, not carried: 59.5 s stays in the seconds field as 60.
    const int s = ToInt16(std::nearbyint(seconds));
    if (s != 0) {
        const QString number = QString::number(s);
        if (mode == 2)
            secondsPart = Padded(number, 2);
        else if (mode == 1)
            secondsPart = number + (s < 2 ? QLatin1String(" second ") : QLatin1String(" seconds "));
        else
            secondsPart = number + QLatin1String(" s ");
    } else if (mode == 2) {
        secondsPart = QStringLiteral("00");
    }

    return hoursPart + minutesPart + secondsPart;
}

} // namespace

QString FormatTime(float seconds, int mode) {
    if (mode < 0 || mode > 2) mode = 0;
    if (!std::isfinite(seconds)) {
        const QString number = QString::fromLatin1(NumberText(seconds).trimmed());
        return mode == 2 ? number : number + (mode == 1 ? " seconds " : " s ");
    }
    if (seconds >= 0) return FormatNonNegative(seconds, mode);

    // A remaining time can run below zero; write it as a signed duration.
    const QString magnitude = FormatNonNegative(-seconds, mode);
    if (magnitude.isEmpty() || magnitude == QLatin1String("0:00:00")) return magnitude;
    return QLatin1Char('-') + magnitude;
}

QByteArray TrimSpaces(const QByteArray& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == ' ')
        ++first;
    while (last > first && text.at(last - 1) == ' ')
        --last;
    return text.mid(first, last - first);
}

QString FirstBeyondLatin1(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).unicode() <= 0xFF) continue;
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size();
        return text.mid(i, pair ? 2 : 1);
    }
    return {};
}
