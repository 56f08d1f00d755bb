// A failing expression is reported with its reason, object and animation once when it starts
// failing, again when the reason changes, and once when it runs again: never once per refresh.
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
    const char* tag; //!< set before the refresh; null: nothing set
    const char* value;
    //! What the refreshes after it report: "animation:kind:program:source:reason or ok" each.
    std::vector<std::string> changes;
};

std::string brief(const ExpressionChange& c) {
    return std::to_string(c.animation) + ":" + c.kind + ":" + c.program + ":" + c.source + ":" +
           (c.failing ? c.reason : "ok");
}

TEST_F(SessionExpressions, EachChangeOfStateIsReportedOnceWithItsReason) {
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(projecttest::compiled(kProject), &error)) << error;
    CallMark mark = session.mark();
    const std::string visible = "1:visible:expression:Big * Big * Big / Zero:";
    const std::string upper = "2:input:upper:10 / (Zero - 2):";
    const std::vector<Step> steps = {
        {nullptr, nullptr, {visible + "division by zero in '/'"}},
        {nullptr, nullptr, {}},
        {"Big", "2000000000", {visible + "integer overflow in '*'"}},
        {"Big", "1", {visible + "division by zero in '/'"}},
        {"Zero", "2", {visible + "ok", upper + "division by zero in '/'"}},
        {"Zero", "2", {}},
        {"Zero", "0", {visible + "division by zero in '/'", upper + "ok"}},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (step.tag) {
            ASSERT_TRUE(session.setTag(step.tag, step.value, &error)) << error;
        }
        session.advance(5.0); // several refreshes
        std::vector<std::string> changes;
        for (const ExpressionChange& c : session.callsSince(mark).expressions) {
            EXPECT_EQ(c.window, 1);
            EXPECT_EQ(c.index, 1);
            EXPECT_EQ(c.name, "Lamp");
            changes.push_back(brief(c));
        }
        EXPECT_EQ(changes, step.changes) << "step " << i;
        session.forgetRecords();
        mark = session.mark();
    }
}

TEST_F(SessionExpressions, ReportsSayWhatFailedAndWhere) {
    ExpressionChange failing{
        1, 1, "Lamp", 1, "visible", "expression", "Big / Zero", true, "division by zero in '/'"};
    EXPECT_EQ(describe(failing), "animation 2 (visible) \"Big / Zero\": division by zero in '/'");
    const QJsonObject json = toJson(failing);
    EXPECT_EQ(json.value("reason").toString(), "division by zero in '/'");
    EXPECT_EQ(json.value("expression").toString(), "Big / Zero");
    ExpressionChange limit{1, 1, "", 2, "input", "upper", "", false, ""};
    EXPECT_EQ(describe(limit), "animation 3 (input, upper limit) runs again");
    EXPECT_FALSE(toJson(limit).contains("reason"));
}

} // namespace
