// Readable failure output for the module's value types.
#pragma once

#include "kestrovalumen/core/vornDrawPubInter.h"

#include <ostream>

inline void PrintTo(const Rect32& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
