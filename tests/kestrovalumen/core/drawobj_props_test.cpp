// The seven script-visible properties of every drawing object and their reports.
#include "kestrovalumen/core/drawobj.h"
#include "runtime/host/logger.h"
#include "tests/support/hostfixture.h"
#include "tests/support/printers.h"
#include "tests/support/reports.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestro::HostLog;

constexpr int kInt = prop_value_c::TypeInt;
constexpr int kFloat = prop_value_c::TypeFloat;
constexpr int kString = prop_value_c::TypeString;

class PropertyTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        obj.m_rect = {10, 20, 31, 41};
        obj.m_strName = "Pump-1";
    }
    CDrawObj obj;
};

TEST_F(PropertyTest, GetNumbers) {
    struct Case {
        uint32_t id;
        int showState;
        int32_t value;
    };
    // Left, top, width, height, reserved, then the units digit of the show state.
    const Case cases[] = {{1, 11, 10}, {2, 11, 20}, {3, 11, 21}, {4, 11, 21}, {5, 11, 0},
                          {6, 11, 1},  {6, 10, 0},  {6, 1, 1},   {6, 20, 0},  {6, 7, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE("id " + std::to_string(c.id) + " state " + std::to_string(c.showState));
        obj.m_nShowState = c.showState;
        prop_value_c prop;
        prop.id = c.id;
        prop.nValue = -99;
        prop.dValue = -99.5;
        prop.strValue = "untouched";
        ASSERT_TRUE(obj.SvrGetProp(&prop));
        EXPECT_EQ(prop.bHandled, 1);
        EXPECT_EQ(prop.nType, kInt);
        EXPECT_EQ(prop.nValue, c.value);
        EXPECT_EQ(prop.dValue, static_cast<double>(c.value));
        EXPECT_EQ(prop.strValue, "untouched");
    }
    prop_value_c name; // the name leaves the numbers
    name.id = 0;
    name.nValue = -7;
    ASSERT_TRUE(obj.SvrGetProp(&name));
    EXPECT_EQ(name.nType, kString);
    EXPECT_EQ(name.strValue, "Pump-1");
    EXPECT_EQ(name.nValue, -7);
    EXPECT_TRUE(HostLog::instance().logs().empty());
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

struct SetCase {
    const char* name;
    uint32_t id;
    int nType;
    int32_t nValue;
    double dValue;
    int startState;
    bool result;
    Rect32 rect;
    int showState;
};

// Start: rectangle (10,20)-(31,41), name "Pump-1".
const SetCase kSetCases[] = {
    {"x int", 1, kInt, 100, 0, 11, true, {100, 20, 121, 41}, 11},
    {"x 5.7 truncates", 1, kFloat, 0, 5.7, 11, true, {5, 20, 26, 41}, 11},
    {"x -2.9 truncates to -2", 1, kFloat, 0, -2.9, 11, true, {-2, 20, 19, 41}, 11},
    {"y int", 2, kInt, -5, 0, 11, true, {10, -5, 31, 16}, 11},
    {"width 50", 3, kInt, 50, 0, 11, true, {10, 20, 60, 41}, 11},
    {"width 0", 3, kInt, 0, 0, 11, true, {10, 20, 10, 41}, 11},
    {"width -1 ignored", 3, kInt, -1, 0, 11, true, {10, 20, 31, 41}, 11},
    {"height 7", 4, kInt, 7, 0, 11, true, {10, 20, 31, 27}, 11},
    {"height -3 ignored", 4, kInt, -3, 0, 11, true, {10, 20, 31, 41}, 11},
    {"height -0.5 is 0", 4, kFloat, 0, -0.5, 11, true, {10, 20, 31, 20}, 11},
    {"visible 0.4 hides", 6, kFloat, 0, 0.4, 11, true, {10, 20, 31, 41}, 10},
    {"visible 5 shows", 6, kInt, 5, 0, 20, true, {10, 20, 31, 41}, 21},
    {"visible 0 keeps tens", 6, kInt, 0, 0, 21, true, {10, 20, 31, 41}, 20},
    {"visible -1 shows", 6, kInt, -1, 0, 0, true, {10, 20, 31, 41}, 1},
    {"name ignored", 0, kString, 0, 0, 11, true, {10, 20, 31, 41}, 11},
    {"reserved ignored", 5, kInt, 9, 0, 11, true, {10, 20, 31, 41}, 11},
    {"x from a string", 1, kString, 100, 100, 11, false, {10, 20, 31, 41}, 11},
    {"width without type", 3, 0, 100, 100, 11, false, {10, 20, 31, 41}, 11},
    {"visible from a string", 6, kString, 0, 0, 11, false, {10, 20, 31, 41}, 11},
};

TEST_F(PropertyTest, Set) {
    for (const SetCase& c : kSetCases) {
        SCOPED_TRACE(c.name);
        CDrawObj target;
        target.m_rect = {10, 20, 31, 41};
        target.m_strName = "Pump-1";
        target.m_nShowState = c.startState;
        prop_value_c prop;
        prop.id = c.id;
        prop.nType = c.nType;
        prop.nValue = c.nValue;
        prop.dValue = c.dValue;
        prop.strValue = "Renamed";
        EXPECT_EQ(target.SvrSetProp(&prop), c.result);
        EXPECT_EQ(prop.bHandled, 1);
        EXPECT_EQ(target.m_rect, c.rect);
        EXPECT_EQ(target.m_nShowState, c.showState);
        EXPECT_STREQ(target.GetName(), "Pump-1");
    }
    EXPECT_TRUE(HostLog::instance().logs().empty());
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

TEST_F(PropertyTest, UnknownIdsAreLoggedNotMonitored) {
    struct Case {
        bool set;
        uint32_t id;
        const char* function;
        int line;
        const char* text;
    };
    const Case cases[] = {
        {false, 7, "SvrGetProp", 407, "7,此属性不是构件的公共属性"},
        {false, 0xFFFFFFFF, "SvrGetProp", 407, "4294967295,此属性不是构件的公共属性"},
        {true, 7, "SvrSetProp", 314, "7,此属性不是构件的公共属性"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        HostLog::instance().clear();
        prop_value_c prop;
        prop.id = c.id;
        prop.nType = kInt;
        prop.nValue = 3;
        EXPECT_FALSE(c.set ? obj.SvrSetProp(&prop) : obj.SvrGetProp(&prop));
        EXPECT_EQ(prop.bHandled, 1);
        EXPECT_EQ(obj.m_rect, (Rect32{10, 20, 31, 41}));
        EXPECT_TRUE(HostLog::instance().monitor().empty());
        kvtest::expectLog(
            {c.function, "drawobj", c.line, 2, "DrawObj", c.text, "%u,此属性不是构件的公共属性"});
    }
}

TEST_F(PropertyTest, NullRecordIsReportedTwice) {
    struct Case {
        bool set;
        int code;
        const char* message;
        const char* function;
        int line;
        const char* tag;
    };
    const Case cases[] = {
        {false, 5, "SvrGetProp para is null!", "SvrGetProp", 332, "CDrawObj::SvrGetProp"},
        {true, 4, "SvrSetProp para is null!", "SvrSetProp", 148, "CDrawObj::SvrSetProp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function);
        HostLog::instance().clear();
        EXPECT_FALSE(c.set ? obj.SvrSetProp(nullptr) : obj.SvrGetProp(nullptr));
        kvtest::expectFault(c.code, c.message,
                            {c.function, "drawobj", c.line, 1, c.tag, "The para is null!"});
    }
}

} // namespace
