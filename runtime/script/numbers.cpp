// Conversions between numbers and text of the expression engine.
#include "runtime/script/numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kestro::script {

size_t formatInteger(int64_t value, char* out) {
    return static_cast<size_t>(std::to_chars(out, out + kNumberTextSize, value).ptr - out);
}

size_t formatNumber(double value, char* out) {
    if (std::isnan(value)) {
        std::memcpy(out, "nan", 3);
        return 3;
    }
    if (std::isinf(value)) {
        std::memcpy(out, value < 0 ? "-inf" : "inf", value < 0 ? 4 : 3);
        return value < 0 ? 4 : 3;
    }
    if (value == 0.0) {
        out[0] = '0'; // also for -0: the sign carries no information on a display
        return 1;
    }
    // The shortest round-trip digits come from scientific form "d.ddde±x"; they are then laid
    // out in plain decimal wherever that stays readable, like JavaScript does.
    char sci[64];
    const char* end =
        std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
    const char* p = sci;
    size_t n = 0;
    if (*p == '-') {
        out[n++] = '-';
        ++p;
    }
    char digits[32];
    int count = 0;
    for (; p < end && *p != 'e'; ++p) {
        if (*p != '.') {
            digits[count++] = *p;
        }
    }
    int exponent = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
    const int point = exponent + 1; // digits before the decimal point
    if (point >= count && point <= 21) {
        std::memcpy(out + n, digits, static_cast<size_t>(count));
        n += static_cast<size_t>(count);
        for (int i = count; i < point; ++i) {
            out[n++] = '0';
        }
    } else if (point > 0 && point <= 21) {
        std::memcpy(out + n, digits, static_cast<size_t>(point));
        n += static_cast<size_t>(point);
        out[n++] = '.';
        std::memcpy(out + n, digits + point, static_cast<size_t>(count - point));
        n += static_cast<size_t>(count - point);
    } else if (point > -6 && point <= 0) {
        out[n++] = '0';
        out[n++] = '.';
        for (int i = point; i < 0; ++i) {
            out[n++] = '0';
        }
        std::memcpy(out + n, digits, static_cast<size_t>(count));
        n += static_cast<size_t>(count);
    } else {
        out[n++] = digits[0];
        if (count > 1) {
            out[n++] = '.';
            std::memcpy(out + n, digits + 1, static_cast<size_t>(count - 1));
            n += static_cast<size_t>(count - 1);
        }
        out[n++] = 'e';
        out[n++] = exponent < 0 ? '-' : '+';
        n += static_cast<size_t>(
            std::to_chars(out + n, out + kNumberTextSize, exponent < 0 ? -exponent : exponent).ptr -
            (out + n));
    }
    return n;
}

size_t formatFixed(double value, int decimals, char* out) {
    if (!std::isfinite(value)) {
        return formatNumber(value, out);
    }
    const auto written =
        std::to_chars(out, out + kNumberTextSize, value, std::chars_format::fixed, decimals);
    size_t n = static_cast<size_t>(written.ptr - out);
    // "-0.00" reads as a negative number on a display although the value rounds to zero.
    if (out[0] == '-') {
        size_t zeros = 1;
        while (zeros < n && (out[zeros] == '0' || out[zeros] == '.')) {
            ++zeros;
        }
        if (zeros == n) {
            std::memmove(out, out + 1, --n);
        }
    }
    return n;
}

LeadingNumber leadingNumber(const char* text, size_t length) {
    LeadingNumber result;
    size_t i = 0;
    while (i < length &&
           (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) {
        ++i;
    }
    const size_t start = i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t digitsStart = i;
    auto isDigit = [&](size_t at) { return at < length && text[at] >= '0' && text[at] <= '9'; };
    while (isDigit(i)) {
        ++i;
    }
    size_t intDigits = i - digitsStart;
    bool fraction = false;
    if (i < length && text[i] == '.' && (intDigits > 0 || isDigit(i + 1))) {
        fraction = true;
        ++i;
        while (isDigit(i)) {
            ++i;
        }
    }
    if (intDigits == 0 && !fraction) {
        return result;
    }
    bool exponent = false;
    if (i < length && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < length && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (isDigit(j)) {
            exponent = true;
            i = j;
            while (isDigit(i)) {
                ++i;
            }
        }
    }
    // from_chars takes no leading '+', so the sign is applied afterwards.
    double magnitude = 0.0;
    const auto parsed = std::from_chars(text + digitsStart, text + i, magnitude);
    if (parsed.ec != std::errc() || !std::isfinite(magnitude)) {
        return result;
    }
    result.value = negative ? -magnitude : magnitude;
    if (!fraction && !exponent) {
        int64_t integer = 0;
        if (std::from_chars(text + start + (text[start] == '+' ? 1 : 0), text + i, integer).ec ==
            std::errc()) {
            result.isInteger = true;
            result.integer = integer;
        }
    }
    return result;
}

} // namespace kestro::script
