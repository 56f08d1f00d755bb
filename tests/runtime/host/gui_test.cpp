// Window, input and event services: recording, scripted keyboards and synchronised texts, the
// project version, observers; the event-handler record.
#include "kestrovalumen/host/gui.h"
#include "runtime/host/gui.h"
#include "runtime/stream/forms.h"
#include "tests/support/hostfixture.h"
#include "tests/support/keyboard.h"

#include <cstring>
#include <string>

namespace {

using kestro::Gui;

class GuiTest : public HostTest {
protected:
    Gui& gui = Gui::instance();
};

bool openKeyboard(char* text) {
    return __gui_input_dialog_open(0, text, 0, "q", nullptr, nullptr, 0, 0, 0, 0);
}

TEST_F(GuiTest, RecordsWindowsStopsCapturesAndLogEntriesAndTellsObservers) {
    std::vector<std::string> seen;
    gui.onWindowOpen = [&](int w) { seen.push_back("open " + std::to_string(w)); };
    gui.onCapture = [&](const kestro::ScreenCapture& c) { seen.push_back("capture " + c.file); };
    EXPECT_EQ(__gui_wnd_open(3), 0);
    EXPECT_EQ(__gui_wnd_close(3), 0);
    EXPECT_EQ(__gui_operation_stop(0), 0);
    EXPECT_EQ(__gui_screen_capture("shot.png", "Line 2", 1, 10, 20, 300, 200), 0);
    EXPECT_EQ(__gui_screen_capture(nullptr, nullptr, 0, 0, 0, 0, 0), 0);
    auto* object = reinterpret_cast<draw_object_c*>(0x1000);
    EXPECT_EQ(__gui_operation_log_print(object, 5, "\xE6\xB3\xB5 started"), 0);
    EXPECT_EQ(__gui_operation_log_print(nullptr, 2, nullptr), 0);

    EXPECT_EQ(gui.openedWindows(), std::vector<int>{3});
    EXPECT_EQ(gui.closedWindows(), std::vector<int>{3});
    EXPECT_EQ(gui.stops(), std::vector<int>{0});
    ASSERT_EQ(gui.captures().size(), 2u);
    const kestro::ScreenCapture& c = gui.captures()[0];
    EXPECT_EQ(std::vector<std::string>({c.file, c.title}),
              std::vector<std::string>({"shot.png", "Line 2"}));
    EXPECT_EQ(std::vector<int>({c.mode, c.x, c.y, c.width, c.height}),
              std::vector<int>({1, 10, 20, 300, 200}));
    EXPECT_EQ(gui.captures()[1].title, "");
    ASSERT_EQ(gui.operationLog().size(), 2u);
    EXPECT_EQ(gui.operationLog()[0].object, object);
    EXPECT_EQ(gui.operationLog()[0].code, 5);
    EXPECT_EQ(gui.operationLog()[0].text, "\xE6\xB3\xB5 started");
    EXPECT_EQ(gui.operationLog()[1].text, "");
    EXPECT_EQ(seen, (std::vector<std::string>{"open 3", "capture shot.png", "capture "}));
}

TEST_F(GuiTest, KeyboardCallsAreRecordedAndAnsweredInOrder) {
    char text[1024] = "0";
    EXPECT_FALSE(openKeyboard(text)); // no answer: not opened, still recorded
    EXPECT_STREQ(text, "0");
    gui.queueKeyboardAnswer({true, "1"});
    gui.queueKeyboardAnswer({false, "ignored"});
    gui.queueKeyboardAnswer({true, ""});
    ASSERT_TRUE(__gui_input_dialog_open(2, text, -1, "Pump", "Off", "On", 0, 0, 0, 0));
    EXPECT_STREQ(text, "1");
    EXPECT_FALSE(__gui_input_dialog_open(0, text, 0, nullptr, nullptr, nullptr, 7, 8, 9, 10));
    EXPECT_STREQ(text, "1"); // a keyboard not opened writes nothing
    EXPECT_TRUE(openKeyboard(text));
    EXPECT_STREQ(text, "");
    gui.queueKeyboardAnswer({true, "7"});
    std::strcpy(text, "3");
    EXPECT_TRUE(__gui_open_customed_input(1, text, 1, "Speed", 42, "A", nullptr, 5, 6, 7));
    EXPECT_STREQ(text, "7");

    const auto& calls = gui.keyboardCalls();
    ASSERT_EQ(calls.size(), 5u);
    kvtest::expectKeyboardCall(calls[1],
                               {false, 2, "0", -1, "Pump", true, "Off", true, "On", 0, 0, 0, 0});
    kvtest::expectKeyboardCall(calls[2], {false, 0, "1", 0, "", false, "", false, "", 7, 8, 9, 10});
    kvtest::expectKeyboardCall(calls[4],
                               {true, 1, "3", 1, "Speed", true, "A", false, "", 42, 5, 6, 7});
    gui.queueKeyboardAnswer({true, "x"});
    gui.clear(); // answers go too
    EXPECT_FALSE(openKeyboard(text));
}

TEST_F(GuiTest, AtMost1023BytesOfTheAnswerAreWrittenAndThePresetStaysInTheBuffer) {
    const std::pair<size_t, size_t> cases[] = {{0, 0}, {1023, 1023}, {1024, 1023}, {5000, 1023}};
    for (const auto& [answerLength, written] : cases) {
        gui.queueKeyboardAnswer({true, std::string(answerLength, 'k')});
        char block[1025]; // the byte after the 1024-byte buffer must survive
        std::memset(block, '#', sizeof block);
        block[0] = '\0';
        ASSERT_TRUE(openKeyboard(block));
        EXPECT_EQ(std::strlen(block), written) << answerLength;
        EXPECT_EQ(block[1024], '#') << answerLength;
    }
    char full[1024]; // no zero: the preset stops at 1024 bytes
    std::memset(full, 'p', sizeof full);
    openKeyboard(full);
    EXPECT_EQ(gui.keyboardCalls().back().preset, std::string(1024, 'p'));
}

TEST_F(GuiTest, SyncTextsAreHandedOutOncePerCall) {
    EXPECT_EQ(__gui_sync_variable(), nullptr);
    gui.queueSyncText("12.5");
    gui.queueSyncText("");
    const char* first = __gui_sync_variable();
    ASSERT_NE(first, nullptr);
    gui.queueSyncText("later"); // queuing does not disturb the text handed out
    EXPECT_STREQ(first, "12.5");
    EXPECT_STREQ(__gui_sync_variable(), "");
    EXPECT_STREQ(__gui_sync_variable(), "later");
    EXPECT_EQ(__gui_sync_variable(), nullptr);
}

TEST_F(GuiTest, TheProjectVersionFillsEveryIntegerOrNothing) {
    int v[4] = {4, -1, -2, -3};
    std::string text = "keep";
    EXPECT_NE(__gui_get_vornset_version(&v[0], &v[1], &v[2], &v[3], &text), 0);
    EXPECT_EQ(std::vector<int>(v, v + 4), std::vector<int>({4, -1, -2, -3}));
    EXPECT_EQ(text, "keep");
    gui.setProjectVersion({3, 2, 5, 1840, "3.2.5.1840"});
    EXPECT_EQ(__gui_get_vornset_version(&v[0], &v[1], &v[2], &v[3], &text), 0);
    EXPECT_EQ(std::vector<int>(v, v + 4), std::vector<int>({3, 2, 5, 1840}));
    EXPECT_EQ(text, "3.2.5.1840");
    EXPECT_EQ(__gui_get_vornset_version(&v[0], nullptr, nullptr, nullptr, nullptr), 0);
    gui.clearProjectVersion();
    EXPECT_NE(__gui_get_vornset_version(&v[0], nullptr, nullptr, nullptr, nullptr), 0);
}

std::string eventRecord(int32_t code, int32_t length, const std::string& program) {
    std::string bytes;
    kestro::appendInt32(bytes, code);
    kestro::appendInt32(bytes, length);
    return bytes + program;
}

TEST(CEventDispatchRecord, ReadsTheCodeAndTheProgramOrRefuses) {
    // Code 11111 = 0x2B67, length 3, then the program and one byte of the next record.
    const std::string stream("\x67\x2B\x00\x00\x03\x00\x00\x00\x01\x02\x03\x7F", 12);
    FF::utils::MemoryBuffer buffer(stream.data(), stream.size());
    CEventDispatch record;
    ASSERT_TRUE(record.deserialize(&buffer));
    EXPECT_EQ(record.m_nEventCode, 11111);
    ASSERT_EQ(record.m_program.length(), 3u);
    EXPECT_EQ(std::memcmp(record.m_program.data(), "\x01\x02\x03", 3), 0);
    EXPECT_EQ(buffer.position(), 11u);

    for (const std::string& bad :
         {std::string(), std::string("\x01\x00\x00", 3), std::string("\x01\x00\x00\x00\x02\x00", 6),
          eventRecord(1, -1, "abc"), eventRecord(1, INT32_MIN, "abc"), eventRecord(1, 4, "abc"),
          eventRecord(1, INT32_MAX, "abc")}) {
        FF::utils::MemoryBuffer in(bad.data(), bad.size());
        CEventDispatch refused;
        EXPECT_FALSE(refused.deserialize(&in)) << bad.size();
        EXPECT_EQ(refused.m_program.length(), 0u);
        EXPECT_EQ(refused.m_nEventCode, 0);
    }
    EXPECT_FALSE(record.deserialize(nullptr));
}

} // namespace
