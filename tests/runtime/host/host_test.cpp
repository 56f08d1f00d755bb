// The small services the module calls: class registry, strategies, the numeric comparison,
// languages, and resetHost returning them to their start.
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/linguist.h"
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

#include <QString>

#include <limits>
#include <memory>

namespace {

using kestro::ClassRegistry;
using kestro::Linguist;
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

TEST(Registry, RefusesTwinsFindsCreatesAndWithdraws) {
    auto& registry = ClassRegistry::instance();
    const size_t before = registry.classes().size();
    TestClazz line{"TLine", 0x7F02}, twin{"TTwin", 0x7F02}, abstract{"TAbstract", 0x7F10, false};
    EXPECT_EQ(__register_class(&line), 0);
    EXPECT_EQ(__register_class(&abstract), 0);
    EXPECT_NE(__register_class(&twin), 0); // the number is taken
    EXPECT_NE(__register_class(nullptr), 0);
    EXPECT_EQ(registry.byName("TLine"), &line);
    EXPECT_EQ(registry.byName("tline"), nullptr); // names are exact
    EXPECT_NE(std::unique_ptr<rtti::object_c>(registry.create(0x7F02)), nullptr);
    EXPECT_EQ(registry.create(0x7F10), nullptr); // registered, no instances
    EXPECT_EQ(registry.create("Unknown"), nullptr);
    EXPECT_NE(__unregister_class(&twin), 0); // never registered, though its number is
    EXPECT_EQ(__unregister_class(&line), 0);
    EXPECT_NE(__unregister_class(&line), 0);
    EXPECT_EQ(__register_class(&twin), 0); // the number is free again
    EXPECT_EQ(registry.byNumber(0x7F02), &twin);
    registry.remove(&twin);
    registry.remove(&abstract);
    EXPECT_EQ(registry.classes().size(), before);
}

class Services : public HostTest {};

TEST_F(Services, StrategiesRunTheLatestDefinitionAndRecordEveryRun) {
    std::vector<std::string> ran;
    Strategies::instance().define(7, "a", [&] { ran.push_back("a"); });
    Strategies::instance().define(7, "pump", [&] { ran.push_back("pump"); });
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(7, 0), 0);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(9, 3), -1);
    EXPECT_EQ(ran, std::vector<std::string>{"pump"});
    const auto& runs = Strategies::instance().runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(std::make_tuple(runs[1].strategy, runs[1].argument, runs[1].known),
              std::make_tuple(9, 3, false));
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

TEST_F(Services, LanguagesTranslateAndTheEntryPointMatchesKeysByTheirBytes) {
    Linguist& l = Linguist::instance();
    l.setText("en", "door", "Gate");
    l.setText("en", "door", "Door"); // a later text replaces the earlier
    l.setText("de", "door", "T\xC3\xBCr");
    l.setText("en", "\xB0key", "degree key"); // an 8-bit key that is not UTF-8
    l.setText("en", "\xE9\x97\xA8", "gate");
    const QString tuer = QString(QChar(u'T')) + QChar(0xFC) + QChar(u'r');
    const struct {
        const char* language;
        QString key;
        int result;
        QString text;
    } cases[] = {
        {"de", QStringLiteral("door"), 0, tuer},
        {"en", QStringLiteral("door"), 0, QStringLiteral("Door")},
        {"fr", QStringLiteral("door"), 1, QStringLiteral("door")},
        // U+00B0 narrows back to the byte 0xB0.
        {"en", QString::fromLatin1("\xB0key"), 0, QStringLiteral("degree key")},
        // A UTF-8 key widened byte by byte, and the same key decoded, both find the text.
        {"en", QString::fromLatin1("\xE9\x97\xA8"), 0, QStringLiteral("gate")},
        {"en", QString::fromUtf8("\xE9\x97\xA8"), 0, QStringLiteral("gate")},
        {"en", QString::fromLatin1("no such key \xB5"), 1, QString::fromLatin1("no such key \xB5")},
    };
    for (const auto& c : cases) {
        l.setCurrentLanguage(c.language);
        QString out = QStringLiteral("stale");
        EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, &c.key), c.result);
        EXPECT_EQ(out, c.text);
    }
    const QString key = QStringLiteral("door");
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(nullptr, &key), -1);
}

TEST(ResetHost, ClearsEveryServiceAndLeavesRegisteredClasses) {
    monitor_report(10, 1, "m", 1);
    logger_printf(10, "f", "file", 1, 0, 1, "t", "x");
    Linguist::instance().setText("en", "k", "v");
    Linguist::instance().setCurrentLanguage("en");
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

    EXPECT_TRUE(kestro::HostLog::instance().monitor().empty());
    EXPECT_TRUE(kestro::HostLog::instance().logs().empty());
    EXPECT_EQ(Linguist::instance().currentLanguage(), "");
    Linguist::instance().setCurrentLanguage("en");
    EXPECT_EQ(Linguist::instance().translate("k"), "k");
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
