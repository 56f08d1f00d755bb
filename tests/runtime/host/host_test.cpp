// The small services the module calls: class registry and type roots, strategies, the numeric
// comparison, monitor and logger records, and resetHost returning them to their start-up state.
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/logger.h"
#include "kestrovalumen/host/rtti.h"
#include "kestrovalumen/host/stgy.h"
#include "kestrovalumen/host/toolscom.h"
#include "runtime/host/gui.h"
#include "runtime/host/linguist.h"
#include "runtime/host/logger.h"
#include "runtime/host/registry.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/stgy.h"
#include "tests/support/hostfixture.h"
#include "tests/support/scriptedresults.h"

#include <limits>
#include <memory>

namespace {

using kestro::ClassRegistry;
using kestro::HostLog;
using kestro::Strategies;

class Thing : public rtti::object_c {
public:
    bool is_kind_of(const rtti::clazz_c*) const override { return false; }
    rtti::object_c* cast_to(const rtti::clazz_c*) override { return nullptr; }
};

class TestClazz : public rtti::clazz_c {
public:
    TestClazz(std::string name, uint32_t number, bool instantiable = true)
        : m_name(std::move(name)), m_number(number), m_instantiable(instantiable) {}
    rtti::object_c* create_object() const override { return m_instantiable ? new Thing : nullptr; }
    std::string class_name() const override { return m_name; }
    uint32_t class_id() const override { return m_number; }

private:
    std::string m_name;
    uint32_t m_number;
    bool m_instantiable;
};

TEST(Registry, KeepsOrderRefusesTwinsFindsCreatesAndWithdraws) {
    auto& registry = ClassRegistry::instance();
    const size_t before = registry.classes().size();
    TestClazz line{"TLine", 0x7F02}, arc{"TArc", 0x7F03}, twin{"TTwin", 0x7F02},
        abstract{"TAbstract", 0x7F10, false};
    EXPECT_EQ(__register_class(&line), 0);
    EXPECT_EQ(__register_class(&arc), 0);
    EXPECT_EQ(__register_class(&abstract), 0);
    EXPECT_NE(__register_class(&twin), 0); // the number is taken
    EXPECT_NE(__register_class(&line), 0);
    EXPECT_NE(__register_class(nullptr), 0);
    const std::vector<rtti::clazz_c*> tail(registry.classes().begin() + static_cast<long>(before),
                                           registry.classes().end());
    EXPECT_EQ(tail, (std::vector<rtti::clazz_c*>{&line, &arc, &abstract}));

    EXPECT_EQ(registry.byNumber(0x7F03), &arc);
    EXPECT_EQ(registry.byName("TLine"), &line);
    EXPECT_EQ(registry.byName("tline"), nullptr); // names are exact
    EXPECT_EQ(registry.byNumber(0x7F99), nullptr);
    std::unique_ptr<rtti::object_c> byNumber(registry.create(0x7F02));
    std::unique_ptr<rtti::object_c> byName(registry.create("TLine"));
    EXPECT_NE(byNumber, nullptr);
    EXPECT_NE(byName, nullptr);
    EXPECT_EQ(registry.create(0x7F10), nullptr); // registered, no instances
    EXPECT_EQ(registry.create("Unknown"), nullptr);

    EXPECT_EQ(__unregister_class(&arc), 0);
    EXPECT_NE(__unregister_class(&arc), 0);
    EXPECT_NE(__unregister_class(&twin), 0); // never registered, though its number is
    EXPECT_EQ(registry.byNumber(0x7F03), nullptr);
    EXPECT_EQ(__unregister_class(&line), 0);
    EXPECT_EQ(__register_class(&twin), 0); // the number is free again
    EXPECT_EQ(registry.byNumber(0x7F02), &twin);
    registry.remove(&twin);
    registry.remove(&abstract);
    EXPECT_EQ(registry.classes().size(), before);
}

class PlainObject : public draw_object_c {
public:
    void Draw(QPainter*) override {}
    void GetBoundRect(int*, int*, int*, int*) const override {}
    void SetBounds(int, int, int, int) override {}
    int GetAttr() const override { return 0; }
    void ToRelative(int, int, int, int) override {}
    void ToAbsolute(int, int, int, int) override {}
    bool SvrGetProp(prop_value_c*) override { return false; }
    bool SvrSetProp(prop_value_c*) override { return false; }
    int CheckArg(int) override { return 0; }
    uint32_t GetObjectId() const override { return 0; }
    bool deserialize(FF::utils::IBuffer*) override { return false; }
};

TEST(TypeRoots, DescriptorsAndTypeTestsByAddress) {
    EXPECT_EQ(rtti::object_c::static_clazz()->class_name(), "object_c");
    EXPECT_EQ(draw_object_c::static_clazz()->class_name(), "draw_object_c");
    EXPECT_EQ(draw_object_c::static_clazz()->class_id(), 0x5000u);
    EXPECT_EQ(draw_object_c::static_clazz()->create_object(), nullptr);
    PlainObject object;
    EXPECT_EQ(object.get_clazz(), draw_object_c::static_clazz());
    TestClazz sameNumber{"other", 0x5000};
    const std::pair<const rtti::clazz_c*, bool> cases[] = {{rtti::object_c::static_clazz(), true},
                                                           {draw_object_c::static_clazz(), true},
                                                           {&sameNumber, false},
                                                           {nullptr, false}};
    for (const auto& [descriptor, recognised] : cases) {
        EXPECT_EQ(object.cast_to(descriptor), recognised ? &object : nullptr);
        EXPECT_EQ(object.is_kind_of(descriptor), recognised);
    }
}

class Services : public HostTest {};

TEST_F(Services, StrategiesRunTheLatestDefinitionAndRecordEveryRun) {
    std::vector<std::string> ran;
    Strategies::instance().define(7, "a", [&] { ran.push_back("a"); });
    Strategies::instance().define(7, "pump", [&] { ran.push_back("pump"); });
    Strategies::instance().define(8, "no action", nullptr);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(7, 0), 0);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(9, 3), -1);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(8, 1), 0);
    EXPECT_EQ(ran, std::vector<std::string>{"pump"});
    EXPECT_EQ(Strategies::instance().nameOf(7), "pump");
    const auto& runs = Strategies::instance().runs();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].strategy, 9);
    EXPECT_EQ(runs[1].argument, 3);
    EXPECT_FALSE(runs[1].known);
    EXPECT_TRUE(runs[2].known);
}

TEST(VornIsEqual, DifferenceAtMostTheTolerance) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const struct {
        long double a, b, tolerance;
        bool equal;
    } cases[] = {{1.0L, 1.5L, 0.5L, true},
                 {1.5L, 1.0L, 0.5L, true},
                 {1.0L, 1.75L, 0.5L, false},
                 {2.0L, 2.0L, -1.0L, false},
                 {nan, nan, 1.0L, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(Vorn_IsEqual(c.a, c.b, c.tolerance), c.equal) << static_cast<double>(c.a);
    }
}

TEST_F(Services, MonitorAndLoggerKeepEveryFieldAndTheFormattedText) {
    monitor_report(10, 2, "Create Animation obj is fail", 1);
    monitor_report(7, 40, nullptr, 3);
    logger_printf(10, "deserialize", "drawobj", 1020, 4, 1,
                  "Drawobj Create animation property is error", "%u", 12300u);
    logger_printf(10, nullptr, nullptr, 0, 0, 2, nullptr, "%s=%.3f [%5d]", "v", 0.5, -12);
    const auto& monitor = HostLog::instance().monitor();
    ASSERT_EQ(monitor.size(), 2u);
    EXPECT_EQ(monitor[0].module, 10);
    EXPECT_EQ(monitor[0].code, 2);
    EXPECT_EQ(monitor[0].message, "Create Animation obj is fail");
    EXPECT_EQ(monitor[0].kind, 1);
    EXPECT_EQ(monitor[1].message, "");
    const auto& logs = HostLog::instance().logs();
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs[0].function, "deserialize");
    EXPECT_EQ(logs[0].file, "drawobj");
    EXPECT_EQ(logs[0].line, 1020);
    EXPECT_EQ(logs[0].flags, 4);
    EXPECT_EQ(logs[0].level, 1);
    EXPECT_EQ(logs[0].tag, "Drawobj Create animation property is error");
    EXPECT_EQ(logs[0].format, "%u");
    EXPECT_EQ(logs[0].text, "12300");
    EXPECT_EQ(logs[1].function, "");
    EXPECT_EQ(logs[1].tag, "");
    EXPECT_EQ(logs[1].text, "v=0.500 [  -12]");
}

TEST(ResetHost, ClearsEveryServiceAndLeavesRegisteredClasses) {
    monitor_report(10, 1, "m", 1);
    logger_printf(10, "f", "file", 1, 0, 1, "t", "x");
    kestro::Linguist::instance().setText("en", "k", "v");
    kestro::Linguist::instance().setCurrentLanguage("en");
    kestro::Rtdb::instance().define("v", kestro::VarType::Int);
    __gui_wnd_open(1);
    kestro::Gui::instance().queueKeyboardAnswer({true, "x"});
    kestro::Gui::instance().queueSyncText("s");
    kestro::Gui::instance().setProjectVersion({3, 0, 0, 0, ""});
    Strategies::instance().define(1, "s", nullptr);
    kvtest::queueScriptResult(kvtest::ScriptResult::value(1.0));
    TestClazz kept{"Kept", 0x7E01};
    ASSERT_EQ(__register_class(&kept), 0);

    kestro::resetHost();

    EXPECT_TRUE(HostLog::instance().monitor().empty());
    EXPECT_TRUE(HostLog::instance().logs().empty());
    EXPECT_EQ(kestro::Linguist::instance().currentLanguage(), "");
    kestro::Linguist::instance().setCurrentLanguage("en");
    EXPECT_EQ(kestro::Linguist::instance().translate("k"), "k");
    EXPECT_EQ(kestro::Rtdb::instance().count(), 0);
    EXPECT_TRUE(kestro::Gui::instance().openedWindows().empty());
    char text[1024] = {};
    EXPECT_FALSE(__gui_input_dialog_open(0, text, 0, "", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_EQ(__gui_sync_variable(), nullptr);
    int major = 4;
    EXPECT_NE(__gui_get_vornset_version(&major, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(Strategies::instance().nameOf(1), "");
    EXPECT_EQ(kvtest::ScriptedResults::instance().queued(), 0u);
    EXPECT_EQ(ClassRegistry::instance().byNumber(0x7E01), &kept);
    EXPECT_EQ(__unregister_class(&kept), 0);
    kestro::resetHost();
}

} // namespace
