// A program of numbers and variables runs without a single heap allocation: the animations
// run one on every refresh of every object.
#include "tests/support/allocations.h"
#include "tests/support/hostfixture.h"

#include "scripttest.h"

#include <gtest/gtest.h>

namespace {

class ScriptAllocation : public HostTest {};

TEST_F(ScriptAllocation, NumericProgramsAllocateNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    scripttest::MapHost host;
    host.setInteger(0, 7);
    host.setFloat(1, -0.5);
    host.reads.reserve(1000); // the test host's own record of reads must not count
    const kestro::script::Resolver names = scripttest::tags({{"a", 0}, {"d", 1}});
    const struct {
        const char* source;
        bool allocates;
    } cases[] = {
        {"a * 2 + d / 3 > 10 && abs(d) < 5 ? max(a, d, 3) : clamp(d, 0, 1)", false},
        {"sqrt(abs(d)) + pow(a, 2) + atan2(a, d) + int(d) + div(a, 3) + (d % 1.5) + !a", false},
        // Guards the test itself: a counter that never counts would pass everything above.
        {"\"a text far too long for any small-string buffer\" + a", true},
    };
    for (const auto& c : cases) {
        const std::vector<unsigned char> bytes = scripttest::program(c.source, names);
        Script::ValueType result; // on the stack, as the animations hold it
        long count = 0;
        for (int run = 0; run < 2; ++run) { // the first run may set up lazy statics
            count = kvtest::allocationsOf([&] {
                EXPECT_TRUE(script_SvrRunProg(bytes.data(), static_cast<unsigned int>(bytes.size()),
                                              result, &host));
            });
        }
        EXPECT_EQ(count > 0, c.allocates) << c.source;
    }
}

} // namespace
