// The text plug-in as the host meets it: loaded by dlopen, made by the registry, loaded, drawn.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/host/utils.h"
#include "runtime/host/logger.h"
#include "runtime/host/registry.h"
#include "runtime/project/textfields.h"
#include "runtime/stream/shaperecords.h"
#include "tests/support/sessiontest.h"
#include "tests/support/shapepainttest.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using kestro::ClassRegistry;
using kestro::HostLog;
using kestro::PaintKind;
using kestro::PaintRecords;

constexpr uint32_t kDrawText = 0x6001;

namespace {

class TextObjectTest : public HostTest {
protected:
    static void SetUpTestSuite() {
        s_plugins = std::make_unique<kestro::PluginSet>();
        s_error.clear();
        s_plugins->loadFile(sessiontest::pluginDir() + "/libkestrotext.so", &s_error);
    }
    static void TearDownTestSuite() { s_plugins.reset(); }

    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(s_error.empty()) << s_error;
    }

    std::unique_ptr<CDrawObj> load(kestro::ObjectRecord record, const kestro::TextFields& fields) {
        record.extra = kestro::encodeFields(fields);
        const std::string bytes = kestro::encodeObject(record);
        auto* created = static_cast<draw_object_c*>(ClassRegistry::instance().create(kDrawText));
        std::unique_ptr<CDrawObj> text(static_cast<CDrawObj*>(created));
        FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
        EXPECT_TRUE(text && text->deserialize(&buffer));
        return text;
    }

    static kestro::TextFields fields(const std::string& text, uint32_t color = 0x000000) {
        kestro::TextFields f;
        f.text = text;
        f.fontPixelSize = 16;
        f.alignment = Qt::AlignLeft | Qt::AlignTop;
        f.color = color;
        return f;
    }

    static inline std::unique_ptr<kestro::PluginSet> s_plugins;
    static inline std::string s_error;
};

TEST_F(TextObjectTest, LoadsItsFieldsAfterTheCommonRecord) {
    kestro::TextFields f;
    f.text = "液位 Tank";
    f.fontPixelSize = 18;
    f.alignment = Qt::AlignRight | Qt::AlignBottom;
    f.color = 0x123456;
    f.bold = 1;
    const auto text = load(shapetest::objectOn(10, 20, 110, 50), f);
    ASSERT_NE(text, nullptr);
    std::string shown;
    text->GetText(shown);
    EXPECT_EQ(shown, "液位 Tank");
    EXPECT_EQ(text->m_crText, 0x123456u);

    // Qt may draw the text in pieces, one per font; each piece in the loaded font and colour.
    const PaintRecords records = kestro::drawings(shapetest::paint(*text));
    QString drawn;
    for (const kestro::PaintRecord& r : records) {
        ASSERT_EQ(r.kind, PaintKind::Text);
        drawn += r.text;
        EXPECT_EQ(r.font.pixelSize(), 18);
        EXPECT_TRUE(r.font.bold());
        EXPECT_EQ(r.state.pen.color(), QColor(0x12, 0x34, 0x56));
    }
    EXPECT_EQ(drawn, QString::fromUtf8("液位 Tank"));

    text->SetText("Pump 2");
    text->GetText(shown);
    EXPECT_EQ(shown, "Pump 2");

    // Any length is kept, but 64 KiB at most is painted, never half a character, in glyphs at
    // most 4096 pixels high.
    std::string huge;
    for (int i = 0; i < 30000; ++i) {
        huge += "温";
    }
    kestro::TextFields big = fields(huge);
    big.fontPixelSize = 1 << 30;
    const auto bigText = load(shapetest::objectOn(10, 20, 110, 50), big);
    ASSERT_NE(bigText, nullptr);
    drawn.clear();
    for (const kestro::PaintRecord& r : kestro::drawings(shapetest::paint(*bigText))) {
        drawn += r.text;
        EXPECT_EQ(r.font.pixelSize(), 4096);
    }
    EXPECT_EQ(drawn, QString(65536 / 3, QChar(0x6E29)));
}

TEST_F(TextObjectTest, RefusesDamagedRecords) {
    const std::string whole = kestro::encodeObject(shapetest::objectOn(0, 0, 10, 10));
    const std::string extra = kestro::encodeFields(fields("abc"));
    auto fresh = [] {
        return std::unique_ptr<CDrawObj>(static_cast<CDrawObj*>(
            static_cast<draw_object_c*>(ClassRegistry::instance().create(kDrawText))));
    };
    auto loads = [&](const std::string& bytes) {
        FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
        return fresh()->deserialize(&buffer);
    };

    EXPECT_FALSE(loads(whole.substr(0, whole.size() - 1)));
    ASSERT_EQ(HostLog::instance().monitor().size(), 1u);
    EXPECT_EQ(HostLog::instance().monitor()[0].code, 301);
    EXPECT_EQ(HostLog::instance().monitor()[0].message, "CDrawText CDrawObj Serialize error!");

    // Own fields cut anywhere (string, size, alignment, colour, bold): false, no report.
    for (size_t cut : {size_t{0}, size_t{4 + 3}, size_t{4 + 6}, size_t{4 + 10}, size_t{4 + 12},
                       extra.size() - 1}) {
        EXPECT_FALSE(loads(whole + extra.substr(0, cut))) << "cut at " << cut;
    }
    EXPECT_EQ(HostLog::instance().monitor().size(), 1u);
    EXPECT_TRUE(loads(whole + extra));

    // A string length beyond the bytes left is the caller's business.
    EXPECT_THROW(loads(whole + std::string("\x40zz", 3)), FF::utils::deserialize_block_error);

    auto text = fresh();
    text->Draw(nullptr);
    ASSERT_EQ(HostLog::instance().monitor().size(), 2u);
    EXPECT_EQ(HostLog::instance().monitor()[1].code, 300);
    EXPECT_EQ(HostLog::instance().monitor()[1].message, "CDrawText painter is NULL!");
}

TEST_F(TextObjectTest, DrawsTheBoxUnderTheText) {
    kestro::ObjectRecord record = shapetest::objectOn(10, 20, 110, 50);
    record.pen = 1;
    record.penWidthX = 1;
    record.penColor = 0x0000FF;
    record.brush = 1;
    record.brushColor = 0xFFFF00;
    const auto text = load(record, fields("Tank 1", 0xFF0000));
    ASSERT_NE(text, nullptr);

    const PaintRecords records = kestro::drawings(shapetest::paint(*text));
    ASSERT_EQ(records.size(), 2u);
    // The box as a rectangle draws it: inside the one-pixel pen, (10, 20) to (108, 48).
    EXPECT_EQ(records[0].kind, PaintKind::Rects);
    EXPECT_EQ(records[0].rect(), QRectF(10, 20, 99, 29));
    EXPECT_EQ(records[0].state.pen.color(), QColor(0x00, 0x00, 0xFF));
    EXPECT_EQ(records[0].state.brush.color(), QColor(0xFF, 0xFF, 0x00));
    ASSERT_EQ(records[1].kind, PaintKind::Text);
    EXPECT_EQ(records[1].text, "Tank 1");
    EXPECT_EQ(records[1].state.pen.color(), QColor(0xFF, 0x00, 0x00));

    text->m_bPen = text->m_bBrush = 0;
    EXPECT_EQ(kestro::drawings(shapetest::paint(*text)).size(), 1u);
    text->SetShown(false);
    EXPECT_TRUE(kestro::drawings(shapetest::paint(*text)).empty());
}

TEST_F(TextObjectTest, EachDrawShowsTheTextAndFontItHasThen) {
    const kestro::ObjectRecord record = shapetest::objectOn(10, 20, 110, 50);
    const auto text = load(record, fields("Tank 1"));
    ASSERT_NE(text, nullptr);
    // The object is reached through its base only: its own class lives in the plug-in.
    const auto reload = [&](const std::string& value, int pixelSize, int bold) {
        kestro::ObjectRecord again = record;
        kestro::TextFields f = fields(value);
        f.fontPixelSize = pixelSize;
        f.bold = bold;
        again.extra = kestro::encodeFields(f);
        const std::string bytes = kestro::encodeObject(again);
        FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
        return text->deserialize(&buffer);
    };
    struct Step {
        const char* what;
        std::function<void()> change;
        std::string text;
        int pixelSize;
        bool bold;
    };
    const std::vector<Step> steps = {
        {"as loaded", [] {}, "Tank 1", 16, false},
        {"drawn again", [] {}, "Tank 1", 16, false},
        {"a text of the same length", [&] { text->SetText("Tank 2"); }, "Tank 2", 16, false},
        {"a longer text", [&] { text->SetText("Tank 22"); }, "Tank 22", 16, false},
        {"no text", [&] { text->SetText(""); }, "", 16, false},
        {"a text again", [&] { text->SetText("Tank 2"); }, "Tank 2", 16, false},
        {"another size", [&] { ASSERT_TRUE(reload("Tank 2", 24, 0)); }, "Tank 2", 24, false},
        {"bold", [&] { ASSERT_TRUE(reload("Tank 2", 24, 1)); }, "Tank 2", 24, true},
        {"no size: the default", [&] { ASSERT_TRUE(reload("Tank 2", 0, 1)); }, "Tank 2", 14, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const PaintRecords records = kestro::drawings(shapetest::paint(*text));
        if (step.text.empty()) { // Qt paints no glyph, so nothing is recorded
            EXPECT_TRUE(records.empty());
            continue;
        }
        ASSERT_EQ(records.size(), 1u);
        ASSERT_EQ(records[0].kind, PaintKind::Text);
        EXPECT_EQ(records[0].text.toStdString(), step.text);
        EXPECT_EQ(records[0].font.pixelSize(), step.pixelSize);
        EXPECT_EQ(records[0].font.bold(), step.bold);
    }
}

} // namespace
