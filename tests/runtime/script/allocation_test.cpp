// A program of numbers and variables runs without a single heap allocation: the animations
// run one on every refresh of every object.
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "tests/support/allocations.h"
#include "tests/support/hostfixture.h"

#include "scripttest.h"

#include <gtest/gtest.h>

namespace {

class ScriptAllocation : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        if (!kvtest::allocationsCounted()) {
            GTEST_SKIP() << "allocation counting needs the plain allocator";
        }
    }

    // Allocations made by one run of bytes.
    long allocations(const std::vector<unsigned char>& bytes, Script::IHost* host, bool* ok) {
        Script::ValueType result; // on the stack, as the animations hold it
        return kvtest::allocationsOf([&] {
            *ok = script_SvrRunProg(bytes.data(), static_cast<unsigned int>(bytes.size()), result,
                                    host);
        });
    }
};

const char* const kNumeric[] = {
    "1 + 2 * 3",
    "a * 2 + b / 3 > 10 && abs(c) < 5 ? max(a, b, 3) : clamp(c, 0, 1)",
    "a > 0 || b < 0 ? round(c * 100000.5) / 100 : -floor(d)",
    "sqrt(abs(c)) + pow(a, 2) + sin(d) + atan2(c, d) + int(d) + float(a) + div(a, 3)",
    "min(a, b, c, d, 1000000, 2.5e10) + (a % 7) + (d % 1.5) + !a + (a != b) + (c >= d)",
};

TEST_F(ScriptAllocation, NumericProgramsAllocateNothing) {
    scripttest::MapHost host;
    host.setInteger(0, 7);
    host.setInteger(1, -12);
    host.setFloat(2, 3.25);
    host.setFloat(3, -0.5);
    host.reads.reserve(10000); // the test host's own record of reads must not count
    const kestro::script::Resolver names =
        scripttest::tags({{"a", 0}, {"b", 1}, {"c", 2}, {"d", 3}});
    for (const char* source : kNumeric) {
        const std::vector<unsigned char> bytes = scripttest::program(source, names);
        bool ok = false;
        allocations(bytes, &host, &ok); // the first run may set up lazily created statics
        EXPECT_EQ(allocations(bytes, &host, &ok), 0) << source;
        EXPECT_TRUE(ok) << source << ": " << kestro::ScriptService::instance().lastError();
    }
}

TEST_F(ScriptAllocation, OverTheRealTimeDatabaseToo) {
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    const int a = rtdb.define("a", kestro::VarType::Int);
    const int c = rtdb.define("c", kestro::VarType::Float);
    rtdb.setInt(a, 40);
    rtdb.setFloat(c, 0.75);
    const std::vector<unsigned char> bytes =
        scripttest::program("a > 30 && c < 1 ? a * c : -1", [](const std::string& tag) {
            return kestro::Rtdb::instance().indexOf(tag);
        });
    kestro::RtdbScriptHost host;
    bool ok = false;
    allocations(bytes, &host, &ok);
    EXPECT_EQ(allocations(bytes, &host, &ok), 0);
    EXPECT_TRUE(ok);
}

TEST_F(ScriptAllocation, StringsDoAllocateSoTheCountWorks) {
    // Guards the test itself: a counter that never counts would pass everything above.
    const std::vector<unsigned char> bytes =
        scripttest::program("\"a text far too long for any small-string buffer\" + 1");
    bool ok = false;
    EXPECT_GT(allocations(bytes, nullptr, &ok), 0);
    EXPECT_TRUE(ok);
}

} // namespace
