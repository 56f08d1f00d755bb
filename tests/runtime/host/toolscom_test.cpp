// Numeric comparison within a tolerance.
#include "kestrovalumen/host/toolscom.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct EqualCase {
    long double a, b, tolerance;
    bool equal;
};

TEST(VornIsEqual, DifferenceAtMostTheTolerance) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    const EqualCase cases[] = {
        {1.0L, 1.0L, 0.0L, true},
        {1.0L, 1.5L, 0.5L, true}, // exactly the tolerance
        {1.5L, 1.0L, 0.5L, true}, // either order
        {1.0L, 1.75L, 0.5L, false},
        {0.0L, 1e-7L, 1e-6L, true},
        {0.0L, 2e-6L, 1e-6L, false},
        {-3.0L, 3.0L, 6.0L, true},
        {-3.0L, 3.0L, 5.0L, false},
        {2.0L, 2.0L, -1.0L, false}, // a negative tolerance admits nothing
        {nan, nan, 1.0L, false},
        {nan, 0.0L, inf, false},
        {1.0L, 1e300L, inf, true},
    };
    for (const EqualCase& c : cases) {
        EXPECT_EQ(Vorn_IsEqual(c.a, c.b, c.tolerance), c.equal)
            << static_cast<double>(c.a) << " vs " << static_cast<double>(c.b) << " within "
            << static_cast<double>(c.tolerance);
    }
}

} // namespace
