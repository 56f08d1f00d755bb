// Window and input services: the keyboard's buffer, synchronised texts, the project version;
// the event-handler record.
#include "kestrovalumen/host/gui.h"
#include "runtime/host/gui.h"
#include "runtime/stream/forms.h"
#include "tests/support/hostfixture.h"

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
    gui.queueSyncText("12.5");
    gui.queueSyncText("");
    const char* first = __gui_sync_variable();
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
    gui.setProjectVersion({3, 2, 5, 1840, "3.2.5.1840"});
    EXPECT_EQ(__gui_get_vornset_version(&v[0], &v[1], &v[2], &v[3], &text), 0);
    EXPECT_EQ(std::vector<int>(v, v + 4), std::vector<int>({3, 2, 5, 1840}));
    EXPECT_EQ(text, "3.2.5.1840");
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
