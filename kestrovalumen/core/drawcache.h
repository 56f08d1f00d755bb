// What a draw builds from a handful of values and can keep for the next draw.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

namespace kv {

//! A value (a path, a gradient brush) built from N numbers, kept while they stay the same.
//! Rebuilding a clipped path or a gradient costs more than drawing it, and Qt keeps its own
//! conversions (the vector form of a path, a brush's identity for the painter state) inside the
//! object, so an unchanged one is drawn at the price of a prepared one. The numbers are compared
//! bit for bit: a NaN equals itself, -0.0 differs from 0.0, so the kept value is always exactly
//! the one a rebuild would give.
template <class Value, std::size_t N>
class DrawCache {
public:
    using Key = std::array<double, N>;

    template <class Build>
    const Value& Get(const Key& key, Build&& build) {
        if (!m_valid || std::memcmp(key.data(), m_key.data(), sizeof(double) * N) != 0) {
            m_value = build();
            m_key = key;
            m_valid = true;
        }
        return m_value;
    }

private:
    Key m_key{};
    bool m_valid = false;
    Value m_value{};
};

} // namespace kv
