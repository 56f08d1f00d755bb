// Numeric comparison of the host (library toolscom).
#include "kestrovalumen/host/toolscom.h"

#include <cmath>

bool Vorn_IsEqual(long double a, long double b, long double tolerance) {
    // A NaN on either side compares false, as it should.
    return std::fabs(a - b) <= tolerance;
}
