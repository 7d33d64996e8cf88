#include "common/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// The next character that is not a blank, starting at i; i is left on it (or at the end).
int NextChar(const QByteArray& t, qsizetype& i) {
    while (i < t.size() && IsBlank(t[i]))
        ++i;
    return i < t.size() ? static_cast<unsigned char>(t[i]) : -1;
}

double ClampedWhole(const QByteArray& t, qsizetype i, int base) {
    double value = 0;
    for (int c = NextChar(t, i); c >= 0; ++i, c = NextChar(t, i)) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        if (digit >= base) break;
        value = value * base + digit;
        if (value > std::numeric_limits<double>::max()) return std::numeric_limits<double>::max();
    }
    return value;
}

} // namespace

double NumericValue(const QByteArray& text) {
    qsizetype i = 0;
    int c = NextChar(text, i);

    if (c == '&') {
        ++i;
        c = NextChar(text, i);
        if (c == 'h' || c == 'H') return ClampedWhole(text, i + 1, 16);
        if (c == 'o' || c == 'O') return ClampedWhole(text, i + 1, 8);
        return 0;
    }

    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        ++i;
        c = NextChar(text, i);
    }

    // The digits are copied without blanks, leading zeros and the point: the position of the
    // point goes into the exponent instead, so the text handed on stays short and plain.
    std::string digits;
    constexpr std::size_t MaxDigits = 800; // more cannot change a double
    std::int64_t exponent = 0;
    bool sawDigit = false;
    bool sawPoint = false;
    for (; c >= 0; ++i, c = NextChar(text, i)) {
        if (c >= '0' && c <= '9') {
            sawDigit = true;
            if (digits.empty() && c == '0') {
                if (sawPoint) --exponent;
            } else if (digits.size() < MaxDigits) {
                digits.push_back(static_cast<char>(c));
                if (sawPoint) --exponent;
            } else if (!sawPoint) {
                ++exponent;
            }
        } else if (c == '.' && !sawPoint) {
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit && !sawPoint) return 0;

    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
        qsizetype j = i + 1;
        int e = NextChar(text, j);
        bool expNegative = false;
        if (e == '+' || e == '-') {
            expNegative = e == '-';
            ++j;
            e = NextChar(text, j);
        }
        std::int64_t written = 0;
        for (; e >= '0' && e <= '9'; ++j, e = NextChar(text, j))
            written = std::min<std::int64_t>(written * 10 + (e - '0'), 1'000'000'000);
        exponent += expNegative ? -written : written;
    }

    if (digits.empty()) return negative ? -0.0 : 0.0;

    std::string plain = digits + 'e' + std::to_string(exponent);
    double value = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too large for a double: the largest one of that sign; too small: zero.
        const std::int64_t magnitude = exponent + static_cast<std::int64_t>(digits.size());
        value = magnitude > 0 ? std::numeric_limits<double>::max() : 0.0;
    } else if (ec != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

namespace {

// Rounds to `significant` digits, then writes the plain form from 0.001 up to 14 digits before
// the point and the exponent form outside that range.
template <typename Real> QByteArray FormatNumber(Real value, int significant) {
    if (std::isnan(value)) return " NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : " Inf";

    QByteArray out(1, std::signbit(value) && value != 0 ? '-' : ' ');
    if (value == 0) return out + '0';

    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                   std::chars_format::scientific, significant - 1);
    const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t ePos = sci.find('e');
    std::string mantissa;
    for (char ch : sci.substr(0, ePos))
        if (ch != '.') mantissa.push_back(ch);
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();
    int exponent = 0;
    std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+' ? 1 : 0), sci.data() + sci.size(),
                    exponent);

    if (exponent >= -3 && exponent <= 14) {
        if (exponent >= 0) {
            const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
            if (mantissa.size() <= whole) {
                out += QByteArray::fromStdString(mantissa);
                out += QByteArray(static_cast<qsizetype>(whole - mantissa.size()), '0');
            } else {
                out += QByteArray::fromStdString(mantissa.substr(0, whole));
                out += '.';
                out += QByteArray::fromStdString(mantissa.substr(whole));
            }
        } else {
            out += '.';
            out += QByteArray(-exponent - 1, '0');
            out += QByteArray::fromStdString(mantissa);
        }
        return out;
    }

    out += mantissa[0];
    if (mantissa.size() > 1) {
        out += '.';
        out += QByteArray::fromStdString(mantissa.substr(1));
    }
    out += exponent < 0 ? "E-" : "E+";
    QByteArray expDigits = QByteArray::number(std::abs(exponent));
    if (expDigits.size() < 2) expDigits.prepend('0');
    return out + expDigits;
}

} // namespace

QByteArray NumberText(double value) {
    return FormatNumber(value, 15);
}

QByteArray NumberText(float value) {
    return FormatNumber(value, 7);
}
