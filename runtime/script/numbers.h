// Conversions between numbers and text used by the expression engine and its result holder.
// All of them are locale-independent and allocate nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestro::script {

//! Room for any text formatNumber, formatInteger or formatFixed writes.
constexpr size_t kNumberTextSize = 400;

//! Writes the shortest decimal text that reads back as value (integral values without a
//! decimal point, exponent form below 1e-6 and from 1e21); returns its length.
size_t formatNumber(double value, char* out);
//! Writes value in decimal; returns its length.
size_t formatInteger(int64_t value, char* out);
//! Writes value with exactly decimals (0 to 17) digits after the point; returns its length.
size_t formatFixed(double value, int decimals, char* out);

//! The number a text starts with, after leading blanks: [sign] digits [. digits] [exponent],
//! or . digits. isInteger tells whether it had neither fraction nor exponent and fits int64,
//! in which case integer holds it exactly. No number, or one too large for a double, gives 0.
struct LeadingNumber {
    double value = 0.0;
    bool isInteger = false;
    int64_t integer = 0;
};
LeadingNumber leadingNumber(const char* text, size_t length);

} // namespace kestro::script
