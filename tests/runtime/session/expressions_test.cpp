// A failing expression is reported with its reason once per change of state, not per refresh.
#include "tests/support/projecttestutil.h"
#include "tests/support/sessiontest.h"

#include "runtime/session/report.h"

using namespace kestro;
using namespace sessiontest;

namespace {

using SessionExpressions = PluginTest;

constexpr const char* kProject = R"json({
  "version": "4.0.0.0",
  "tags": [{"name": "Zero", "type": "int"}, {"name": "Big", "type": "int", "initial": 1}],
  "windows": [{"number": 1, "name": "Main", "objects": [
    {"class": "CDrawRect", "name": "Plain", "rect": [0, 0, 10, 10]},
    {"class": "CDrawRect", "name": "Lamp", "rect": [10, 10, 30, 30], "animations": [
      {"kind": "pen", "expression": "Big", "values": [], "colors": []},
      {"kind": "visible", "expression": "Big * Big * Big / Zero"},
      {"kind": "input", "inputType": 1, "var": "Big", "upper": {"expression": "10 / (Zero - 2)"},
       "lower": 0}]}]}]
})json";

struct Step {
    const char* tag; //!< set before the refreshes; null: nothing set
    const char* value;
    std::vector<std::string> changes; //!< as the player shows them
};

TEST_F(SessionExpressions, EachChangeOfStateIsReportedOnceWithItsReason) {
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(projecttest::compiled(kProject), &error)) << error;
    CallMark mark = session.mark();
    const std::string visible = "animation 2 (visible) \"Big * Big * Big / Zero\"";
    const std::string upper = "animation 3 (input, upper limit) \"10 / (Zero - 2)\"";
    const std::string byZero = ": division by zero in '/'", again = " runs again";
    const std::vector<Step> steps = {
        {nullptr, nullptr, {visible + byZero}},
        {nullptr, nullptr, {}},
        {"Big", "2000000000", {visible + ": integer overflow in '*'"}},
        {"Big", "1", {visible + byZero}},
        {"Zero", "2", {visible + again, upper + byZero}},
        {"Zero", "2", {}},
        {"Zero", "0", {visible + byZero, upper + again}},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].tag) {
            ASSERT_TRUE(session.setTag(steps[i].tag, steps[i].value, &error)) << error;
        }
        session.advance(5.0); // several refreshes
        std::vector<std::string> changes;
        for (const ExpressionChange& c : session.callsSince(mark).expressions) {
            EXPECT_EQ(std::tie(c.window, c.index, c.name), std::make_tuple(1, 1, "Lamp"));
            EXPECT_EQ(toJson(c).contains("reason"), c.failing);
            changes.push_back(describe(c));
        }
        EXPECT_EQ(changes, steps[i].changes) << "step " << i;
        session.forgetRecords();
        mark = session.mark();
    }
}

} // namespace
