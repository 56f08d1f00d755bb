// Window, input and event services: recording, scripted keyboards and synchronised texts, the
// project version, observers; the event-handler record.
#include "kestrovalumen/host/gui.h"
#include "runtime/host/gui.h"
#include "runtime/stream/forms.h"
#include "tests/support/hostfixture.h"
#include "tests/support/keyboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using kestro::Gui;
using kestro::KeyboardAnswer;
using kestro::KeyboardCall;

class GuiTest : public HostTest {
protected:
    Gui& gui = Gui::instance();
};

// ---- recording ----

TEST_F(GuiTest, RecordsWindowsStopsAndCapturesInOrder) {
    EXPECT_EQ(__gui_wnd_open(3), 0);
    EXPECT_EQ(__gui_wnd_open(1), 0);
    EXPECT_EQ(__gui_wnd_close(3), 0);
    EXPECT_EQ(__gui_operation_stop(0), 0);
    EXPECT_EQ(__gui_screen_capture("", "", 3, 0, 0, 0, 0), 0);
    EXPECT_EQ(__gui_screen_capture("shot.png", "Line 2", 1, 10, 20, 300, 200), 0);
    EXPECT_EQ(__gui_screen_capture(nullptr, nullptr, 0, 0, 0, 0, 0), 0);

    EXPECT_EQ(gui.openedWindows(), (std::vector<int>{3, 1}));
    EXPECT_EQ(gui.closedWindows(), (std::vector<int>{3}));
    EXPECT_EQ(gui.stops(), (std::vector<int>{0}));
    ASSERT_EQ(gui.captures().size(), 3u);
    EXPECT_EQ(gui.captures()[0].mode, 3);
    EXPECT_EQ(gui.captures()[0].file, "");
    const kestro::ScreenCapture& second = gui.captures()[1];
    EXPECT_EQ(second.file, "shot.png");
    EXPECT_EQ(second.title, "Line 2");
    EXPECT_EQ(second.mode, 1);
    EXPECT_EQ(second.x, 10);
    EXPECT_EQ(second.y, 20);
    EXPECT_EQ(second.width, 300);
    EXPECT_EQ(second.height, 200);
    EXPECT_EQ(gui.captures()[2].title, "");
}

TEST_F(GuiTest, RecordsOperationLogEntries) {
    auto* object = reinterpret_cast<draw_object_c*>(0x1000);
    EXPECT_EQ(__gui_operation_log_print(object, 5, "\xE6\xB3\xB5 started"), 0);
    EXPECT_EQ(__gui_operation_log_print(nullptr, 2, nullptr), 0);
    ASSERT_EQ(gui.operationLog().size(), 2u);
    EXPECT_EQ(gui.operationLog()[0].object, object);
    EXPECT_EQ(gui.operationLog()[0].code, 5);
    EXPECT_EQ(gui.operationLog()[0].text, "\xE6\xB3\xB5 started");
    EXPECT_EQ(gui.operationLog()[1].object, nullptr);
    EXPECT_EQ(gui.operationLog()[1].text, "");
}

TEST_F(GuiTest, ObserversSeeEachCall) {
    std::vector<std::string> seen;
    gui.onWindowOpen = [&](int w) { seen.push_back("open " + std::to_string(w)); };
    gui.onWindowClose = [&](int w) { seen.push_back("close " + std::to_string(w)); };
    gui.onCapture = [&](const kestro::ScreenCapture& c) { seen.push_back("capture " + c.file); };
    gui.onStop = [&](int code) { seen.push_back("stop " + std::to_string(code)); };
    __gui_wnd_open(4);
    __gui_wnd_close(4);
    __gui_screen_capture("f", "t", 3, 0, 0, 0, 0);
    __gui_operation_stop(9);
    EXPECT_EQ(seen, (std::vector<std::string>{"open 4", "close 4", "capture f", "stop 9"}));

    gui.clear(); // observers go too
    __gui_wnd_open(5);
    EXPECT_EQ(seen.size(), 4u);
}

// ---- keyboards ----

struct KeyboardBuffer {
    char text[1024] = {};
    explicit KeyboardBuffer(const char* preset = "") { std::strcpy(text, preset); }
};

TEST_F(GuiTest, WithoutAnAnswerTheKeyboardIsNotOpened) {
    KeyboardBuffer buffer("12");
    EXPECT_FALSE(
        __gui_input_dialog_open(1, buffer.text, 1, "Level", nullptr, "0..100", 0, 0, 0, 0));
    EXPECT_STREQ(buffer.text, "12");
    EXPECT_EQ(gui.keyboardCalls().size(), 1u); // still recorded
}

TEST_F(GuiTest, RecordsEveryArgumentAndThePresetText) {
    gui.queueKeyboardAnswer({true, "1"});
    KeyboardBuffer buffer("0");
    ASSERT_TRUE(__gui_input_dialog_open(2, buffer.text, -1, "Pump", "Off", "On", 0, 0, 0, 0));
    EXPECT_STREQ(buffer.text, "1");

    ASSERT_EQ(gui.keyboardCalls().size(), 1u);
    kvtest::expectKeyboardCall(gui.keyboardCalls()[0],
                               {false, 2, "0", -1, "Pump", true, "Off", true, "On", 0, 0, 0, 0});

    // Null texts are recorded as absent.
    KeyboardBuffer empty;
    __gui_input_dialog_open(0, empty.text, 0, nullptr, nullptr, nullptr, 7, 8, 9, 10);
    kvtest::expectKeyboardCall(gui.keyboardCalls().at(1),
                               {false, 0, "", 0, "", false, "", false, "", 7, 8, 9, 10});
}

TEST_F(GuiTest, AnswersAreUsedInOrderThenTheKeyboardStaysClosed) {
    gui.queueKeyboardAnswer({true, "first"});
    gui.queueKeyboardAnswer({false, "ignored"});
    gui.queueKeyboardAnswer({true, ""});
    KeyboardBuffer buffer("preset");
    EXPECT_TRUE(__gui_input_dialog_open(0, buffer.text, 0, "", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_STREQ(buffer.text, "first");
    EXPECT_FALSE(__gui_input_dialog_open(0, buffer.text, 0, "", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_STREQ(buffer.text, "first"); // a keyboard not opened writes nothing
    EXPECT_TRUE(__gui_input_dialog_open(0, buffer.text, 0, "", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_STREQ(buffer.text, "");
    EXPECT_FALSE(__gui_input_dialog_open(0, buffer.text, 0, "", nullptr, nullptr, 0, 0, 0, 0));
    ASSERT_EQ(gui.keyboardCalls().size(), 4u);
    EXPECT_EQ(gui.keyboardCalls()[1].preset, "first");
    EXPECT_EQ(gui.keyboardCalls()[2].preset, "first");
    EXPECT_EQ(gui.keyboardCalls()[3].preset, "");
}

struct LengthCase {
    size_t answerLength;
    size_t written;
};

TEST_F(GuiTest, AtMost1023BytesOfTheAnswerAreWrittenAndTerminated) {
    const LengthCase cases[] = {{0, 0},       {1, 1},       {1022, 1022},
                                {1023, 1023}, {1024, 1023}, {5000, 1023}};
    for (const LengthCase& c : cases) {
        gui.queueKeyboardAnswer({true, std::string(c.answerLength, 'k')});
        // A guard byte after the 1024-byte buffer must survive.
        char block[1025];
        std::memset(block, '#', sizeof block);
        block[0] = '\0';
        ASSERT_TRUE(__gui_input_dialog_open(0, block, 0, "", nullptr, nullptr, 0, 0, 0, 0));
        EXPECT_EQ(std::strlen(block), c.written) << c.answerLength;
        EXPECT_EQ(block[c.written], '\0');
        EXPECT_EQ(block[1024], '#') << c.answerLength;
    }
}

TEST_F(GuiTest, ThePresetIsReadWithinTheBuffer) {
    // A buffer filled to the brim without a zero: the preset stops at 1024 bytes.
    char block[1024];
    std::memset(block, 'p', sizeof block);
    __gui_input_dialog_open(0, block, 0, "", nullptr, nullptr, 0, 0, 0, 0);
    EXPECT_EQ(gui.keyboardCalls().at(0).preset, std::string(1024, 'p'));
}

TEST_F(GuiTest, AHandlerAnswersWhenNothingIsQueued) {
    gui.setKeyboardHandler([](const KeyboardCall& call) {
        return KeyboardAnswer{call.kind == 1, "answer to " + call.prompt + "/" + call.preset};
    });
    gui.queueKeyboardAnswer({true, "queued"});
    KeyboardBuffer buffer("p");
    EXPECT_TRUE(__gui_input_dialog_open(1, buffer.text, 0, "q", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_STREQ(buffer.text, "queued"); // a queued answer comes first
    EXPECT_TRUE(__gui_input_dialog_open(1, buffer.text, 0, "q", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_STREQ(buffer.text, "answer to q/queued");
    EXPECT_FALSE(__gui_input_dialog_open(0, buffer.text, 0, "q", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_STREQ(buffer.text, "answer to q/queued");
}

TEST_F(GuiTest, TheCustomisedKeyboardIsRecordedWithItsSettingAndTexts) {
    gui.queueKeyboardAnswer({true, "7"});
    KeyboardBuffer buffer("3");
    EXPECT_TRUE(__gui_open_customed_input(1, buffer.text, 1, "Speed", 42, "A", nullptr, 5, 6, 7));
    EXPECT_STREQ(buffer.text, "7");
    kvtest::expectKeyboardCall(gui.keyboardCalls().at(0),
                               {true, 1, "3", 1, "Speed", true, "A", false, "", 42, 5, 6, 7});
}

TEST_F(GuiTest, ClearForgetsAnswersAndTheHandler) {
    gui.queueKeyboardAnswer({true, "x"});
    gui.setKeyboardHandler([](const KeyboardCall&) { return KeyboardAnswer{true, "h"}; });
    gui.clear();
    KeyboardBuffer buffer;
    EXPECT_FALSE(__gui_input_dialog_open(0, buffer.text, 0, "", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_EQ(gui.keyboardCalls().size(), 1u);
}

// ---- synchronised texts ----

TEST_F(GuiTest, SyncTextsAreHandedOutOncePerCall) {
    EXPECT_EQ(__gui_sync_variable(), nullptr);
    gui.queueSyncText("12.5");
    gui.queueSyncText("");
    const char* first = __gui_sync_variable();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "12.5");
    gui.queueSyncText("later"); // queuing does not disturb the text handed out
    EXPECT_STREQ(first, "12.5");
    const char* second = __gui_sync_variable();
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second, "");
    EXPECT_STREQ(__gui_sync_variable(), "later");
    EXPECT_EQ(__gui_sync_variable(), nullptr);
}

// ---- project version ----

TEST_F(GuiTest, WithoutAVersionNothingIsTouched) {
    int major = 4, minor = -1, build = -2, revision = -3;
    std::string text = "keep";
    EXPECT_NE(__gui_get_vornset_version(&major, &minor, &build, &revision, &text), 0);
    EXPECT_EQ(major, 4);
    EXPECT_EQ(minor, -1);
    EXPECT_EQ(build, -2);
    EXPECT_EQ(revision, -3);
    EXPECT_EQ(text, "keep");
}

TEST_F(GuiTest, ASetVersionFillsEveryInteger) {
    gui.setProjectVersion({3, 2, 5, 1840, "3.2.5.1840"});
    int major = 4, minor = 0, build = 0, revision = 0;
    std::string text;
    EXPECT_EQ(__gui_get_vornset_version(&major, &minor, &build, &revision, &text), 0);
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 2);
    EXPECT_EQ(build, 5);
    EXPECT_EQ(revision, 1840);
    EXPECT_EQ(text, "3.2.5.1840");
    EXPECT_EQ(__gui_get_vornset_version(&major, nullptr, nullptr, nullptr, nullptr), 0);

    gui.clearProjectVersion();
    major = 4;
    EXPECT_NE(__gui_get_vornset_version(&major, &minor, &build, &revision, &text), 0);
    EXPECT_EQ(major, 4);
}

// ---- event-handler record ----

std::string eventRecord(int32_t code, int32_t length, const std::string& program) {
    std::string bytes;
    kestro::appendInt32(bytes, code);
    kestro::appendInt32(bytes, length);
    return bytes + program;
}

TEST(CEventDispatchRecord, ReadsTheCodeAndTheProgram) {
    // Code 11111 = 0x2B67, length 3, then the program and one byte of the next record.
    const std::string stream("\x67\x2B\x00\x00\x03\x00\x00\x00\x01\x02\x03\x7F", 12);
    FF::utils::MemoryBuffer buffer(stream.data(), stream.size());
    CEventDispatch record;
    ASSERT_TRUE(record.deserialize(&buffer));
    EXPECT_EQ(record.m_nEventCode, 11111);
    ASSERT_EQ(record.m_program.length(), 3u);
    EXPECT_EQ(std::memcmp(record.m_program.data(), "\x01\x02\x03", 3), 0);
    EXPECT_EQ(record.m_program.position(), 0u);
    EXPECT_EQ(buffer.position(), 11u);
}

TEST(CEventDispatchRecord, AnEmptyProgramAndANegativeCode) {
    const std::string stream = eventRecord(-1, 0, "");
    FF::utils::MemoryBuffer buffer(stream.data(), stream.size());
    CEventDispatch record;
    ASSERT_TRUE(record.deserialize(&buffer));
    EXPECT_EQ(record.m_nEventCode, -1);
    EXPECT_EQ(record.m_program.length(), 0u);
}

struct BadRecord {
    const char* name;
    std::string bytes;
};

class CEventDispatchRefuses : public ::testing::TestWithParam<BadRecord> {};

TEST_P(CEventDispatchRefuses, ABadRecord) {
    const std::string& bytes = GetParam().bytes;
    FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
    CEventDispatch record;
    EXPECT_FALSE(record.deserialize(&buffer));
    EXPECT_EQ(record.m_program.length(), 0u);
    EXPECT_EQ(record.m_nEventCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Records, CEventDispatchRefuses,
    ::testing::Values(BadRecord{"Empty", ""}, BadRecord{"CodeCut", std::string("\x01\x00\x00", 3)},
                      BadRecord{"LengthCut", std::string("\x01\x00\x00\x00\x02\x00", 6)},
                      BadRecord{"NegativeLength", eventRecord(1, -1, "abc")},
                      BadRecord{"MostNegativeLength", eventRecord(1, INT32_MIN, "abc")},
                      BadRecord{"LengthOneMoreThanLeft", eventRecord(1, 4, "abc")},
                      BadRecord{"HugeLength", eventRecord(1, INT32_MAX, "abc")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CEventDispatchRecord, ANullBufferIsRefused) {
    CEventDispatch record;
    EXPECT_FALSE(record.deserialize(nullptr));
}

} // namespace
