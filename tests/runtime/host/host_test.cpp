// resetHost returns every service to its start-up state and leaves registered classes alone.
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/logger.h"
#include "kestrovalumen/host/rtti.h"
#include "runtime/host/gui.h"
#include "runtime/host/host.h"
#include "runtime/host/linguist.h"
#include "runtime/host/logger.h"
#include "runtime/host/registry.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/stgy.h"
#include "tests/support/scriptedresults.h"

#include <gtest/gtest.h>

namespace {

class Kept : public rtti::clazz_c {
public:
    std::string class_name() const override { return "Kept"; }
    uint32_t class_id() const override { return 0x7E01; }
};

TEST(ResetHost, ClearsEveryService) {
    monitor_report(10, 1, "m", 1);
    logger_printf(10, "f", "file", 1, 0, 1, "t", "x");
    kestro::Linguist::instance().setText("en", "k", "v");
    kestro::Linguist::instance().setCurrentLanguage("en");
    kestro::Rtdb::instance().define("v", kestro::VarType::Int);
    __gui_wnd_open(1);
    kestro::Gui::instance().queueKeyboardAnswer({true, "x"});
    kestro::Gui::instance().queueSyncText("s");
    kestro::Gui::instance().setProjectVersion({3, 0, 0, 0, ""});
    kestro::Strategies::instance().define(1, "s", nullptr);
    kvtest::queueScriptResult(kvtest::ScriptResult::value(1.0));
    Kept kept;
    ASSERT_EQ(__register_class(&kept), 0);

    kestro::resetHost();

    EXPECT_TRUE(kestro::HostLog::instance().monitor().empty());
    EXPECT_TRUE(kestro::HostLog::instance().logs().empty());
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
    EXPECT_EQ(major, 4);
    EXPECT_EQ(kestro::Strategies::instance().nameOf(1), "");
    EXPECT_EQ(kvtest::ScriptedResults::instance().queued(), 0u);

    EXPECT_EQ(kestro::ClassRegistry::instance().byNumber(0x7E01), &kept);
    EXPECT_EQ(__unregister_class(&kept), 0);
    kestro::resetHost();
}

} // namespace
