// Integer arithmetic of record values. Stored coordinates, sizes and products are 32-bit words
// that wrap like the processor's own; conversions of a double to an int32 each follow the one
// rule their name says, and every one of them is defined for NaN, infinities and values beyond
// the int32 range. Header-only, so that the host may use the same rules.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kv {

constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();

//! The low 32 bits of a wider intermediate, as a two's-complement int32.
constexpr int32_t Wrap32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

//! a + b in 32 bits, wrapping.
constexpr int32_t Add32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

//! a - b in 32 bits, wrapping.
constexpr int32_t Sub32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

//! a * b in 32 bits, wrapping.
constexpr int32_t Mul32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

//! A 64-bit integer clamped to the int32 range.
constexpr int32_t Saturate32(int64_t value) {
    return value < kInt32Min   ? kInt32Min
           : value > kInt32Max ? kInt32Max
                               : static_cast<int32_t>(value);
}

//! Truncation toward zero in every rounding mode; beyond the int32 range the nearer end of it
//! (so also for ±inf); NaN gives 0.
inline int32_t TruncSaturate32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double t = std::trunc(value);
    if (t <= static_cast<double>(kInt32Min)) {
        return kInt32Min;
    }
    if (t >= static_cast<double>(kInt32Max)) {
        return kInt32Max;
    }
    return static_cast<int32_t>(t);
}

//! Truncation toward zero; a value whose truncation no int32 holds (NaN, ±inf, 2^31 and beyond,
//! below -2^31) gives INT32_MIN, the x86 conversion's "integer indefinite".
inline int32_t TruncOrMin32(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        return kInt32Min;
    }
    return static_cast<int32_t>(value);
}

//! Half away from zero: value + 0.5 when value > 0, else value - 0.5, summed in double (in the
//! rounding mode in force), then truncated as TruncOrMin32 does.
inline int32_t RoundHalfAwayOrMin32(double value) {
    return TruncOrMin32(value > 0 ? value + 0.5 : value - 0.5);
}

//! The value clamped to [-2^31, 2^31 - 1], then rounded to nearest, halves away from zero; NaN
//! gives 0.
inline int32_t RoundSaturate32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double clamped = value < -2147483648.0  ? -2147483648.0
                           : value > 2147483647.0 ? 2147483647.0
                                                  : value;
    return static_cast<int32_t>(std::llround(clamped));
}

} // namespace kv
