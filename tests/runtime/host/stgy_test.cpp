// Strategy runner: registered strategies run, every run is recorded, unknown ones fail.
#include "kestrovalumen/host/stgy.h"
#include "runtime/host/stgy.h"
#include "tests/support/hostfixture.h"

#include <gtest/gtest.h>

namespace {

using kestro::Strategies;

class StrategiesTest : public HostTest {};

TEST_F(StrategiesTest, RunsTheRegisteredStrategyAndRecordsEveryRun) {
    std::vector<std::string> ran;
    Strategies::instance().define(7, "start pump", [&] { ran.push_back("pump"); });
    Strategies::instance().define(8, "stop", [&] { ran.push_back("stop"); });

    EXPECT_EQ(Vorn_Stgy_RunUserStgy(7, 0), 0);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(9, 3), -1);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(8, 0), 0);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(7, 1), 0);
    EXPECT_EQ(ran, (std::vector<std::string>{"pump", "stop", "pump"}));

    const auto& runs = Strategies::instance().runs();
    ASSERT_EQ(runs.size(), 4u);
    const struct {
        int strategy, argument;
        bool known;
    } expected[] = {{7, 0, true}, {9, 3, false}, {8, 0, true}, {7, 1, true}};
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].strategy, expected[i].strategy) << i;
        EXPECT_EQ(runs[i].argument, expected[i].argument) << i;
        EXPECT_EQ(runs[i].known, expected[i].known) << i;
    }
}

TEST_F(StrategiesTest, ALaterDefinitionReplacesTheEarlierAndClearForgetsThem) {
    int which = 0;
    Strategies::instance().define(1, "a", [&] { which = 1; });
    Strategies::instance().define(1, "b", [&] { which = 2; });
    Strategies::instance().define(3, "without an action", nullptr);
    EXPECT_EQ(Strategies::instance().nameOf(1), "b");
    EXPECT_EQ(Strategies::instance().nameOf(2), "");
    Vorn_Stgy_RunUserStgy(1, 0);
    EXPECT_EQ(which, 2);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(3, 0), 0);
    EXPECT_TRUE(Strategies::instance().runs().at(1).known);

    Strategies::instance().clear();
    EXPECT_TRUE(Strategies::instance().runs().empty());
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(1, 0), -1);
}

TEST_F(StrategiesTest, AStrategyMayRedefineOrRunOthers) {
    int inner = 0;
    Strategies::instance().define(2, "inner", [&] { ++inner; });
    Strategies::instance().define(1, "outer", [&] {
        Vorn_Stgy_RunUserStgy(2, 0);
        Strategies::instance().define(1, "replaced", nullptr);
    });
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(1, 0), 0);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(Strategies::instance().nameOf(1), "replaced");
    EXPECT_EQ(Strategies::instance().runs().size(), 2u);
}

} // namespace
