// Animation framework: the factory, the common record header in both forms (chosen by the
// project version) and its failures, and what every kind does without an owner or on the
// events it does not handle.
#include "kestrovalumen/animation/aniblink.h"
#include "kestrovalumen/animation/anibrush.h"
#include "kestrovalumen/animation/aniclick.h"
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/animation/aniinput.h"
#include "kestrovalumen/animation/anioutput.h"
#include "kestrovalumen/animation/anipen.h"
#include "kestrovalumen/animation/anisize.h"
#include "kestrovalumen/animation/anitextcolor.h"
#include "kestrovalumen/animation/anivisible.h"
#include "kestrovalumen/animation/anivmove.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/streamtestutil.h"

#include <limits>
#include <stdexcept>
#include <tuple>
#include <typeinfo>

using kestro::HostLog;
using kestro::StreamWriter;
using namespace streamtest;

namespace {

class AniFramework : public anitest::AnimationTest {};

// Per kind: the class, the header failure report and the report of InitObj without an owner
// (0: silent).
struct Kind {
    uint32_t id;
    const std::type_info& type;
    int headerCode;
    int initCode;
    const char* name;
};

const Kind kKinds[] = {
    {0x3001, typeid(CAniBlink), 10, 0, "CAniBlink"},
    {0x3002, typeid(CAniBrush), 13, 14, "CAniBrush"},
    {0x3003, typeid(CAniClick), 16, 0, "CAniClick"},
    {0x3004, typeid(CAniHMove), 17, 18, "CAniHMove"},
    {0x3005, typeid(CAniVMove), 34, 35, "CAniVMove"},
    {0x3006, typeid(CAniInput), 20, 0, "CAniInput"},
    {0x3007, typeid(CAniOutput), 21, 22, "CAniOutput"},
    {0x3008, typeid(CAniPen), 23, 24, "CAniPen"},
    {0x3009, typeid(CAniSize), 26, 27, "CAniSize"},
    {0x300A, typeid(CAniTextColor), 29, 45, "CAniTextColor"},
    {0x300B, typeid(CAniVisible), 30, 33, "CAniVisible"},
};

TEST_F(AniFramework, EachKindIsMadeReportsItsHeaderFailureAndNeedsAnOwner) {
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        std::unique_ptr<CAniObj> animation(CreateAnimation(k.id));
        ASSERT_NE(animation, nullptr);
        const CAniObj& made = *animation;
        EXPECT_EQ(typeid(made), k.type);
        EXPECT_EQ(animation->m_nAniType, k.id);
        EXPECT_EQ(animation->IsBlink(), k.id == 0x3001 ? 1 : 0);

        // Cut inside the length field; then no buffer at all.
        HostLog::instance().clear();
        auto buffer = bufferOf(std::string("\x0a\x01\x00", 3));
        EXPECT_FALSE(animation->deserialize(&buffer));
        kvtest::expectMonitorOnly(k.headerCode, std::string(k.name) + " flag非法");
        HostLog::instance().clear();
        EXPECT_FALSE(animation->deserialize(nullptr));
        EXPECT_EQ(kvtest::monitorCodes(), std::vector<int>{k.headerCode});

        if (k.id == 0x3003 || k.id == 0x3006) {
            continue; // no InitObj of their own
        }
        HostLog::instance().clear();
        animation->m_bufExpress.assign("\x01", 1);
        animation->InitObj(nullptr);
        EXPECT_EQ(animation->m_pDrawObj, nullptr);
        if (k.initCode == 0) {
            EXPECT_TRUE(kvtest::nothingReported());
        } else {
            kvtest::expectMonitorOnly(k.initCode,
                                      std::string(k.name) + "::InitObj failed！para is null!");
        }
        // Unattached, a refresh or tick has no owner to change and no host to ask.
        EXPECT_EQ(animation->Run(0), 0);
        EXPECT_EQ(animation->Run(1), 0);
    }
    EXPECT_EQ(scriptRuns(), 0u);
    for (uint32_t id : {0x0u, 0x3000u, 0x300Cu, 0x13001u, 0xFFFFFFFFu}) {
        EXPECT_EQ(CreateAnimation(id), nullptr) << id;
    }
    CAniObj base;
    EXPECT_EQ(base.IsBlink(), 0);
    EXPECT_EQ(base.Run(5), 0);
}

TEST_F(AniFramework, EventsOtherThanTheirOwnEvaluateNothing) {
    const std::string program = anitest::Program("1");
    for (uint32_t id : {0x3002u, 0x3004u, 0x3005u, 0x3007u, 0x3008u, 0x3009u, 0x300Au, 0x300Bu}) {
        SCOPED_TRACE(id);
        anitest::TextOwner owner(2);
        anitest::Load(owner, anitest::Record(0, 0, 100, 50));
        owner.SetScriptHost(&host);
        std::unique_ptr<CAniObj> animation(CreateAnimation(id));
        animation->m_bufExpress.assign(program.data(), program.size());
        animation->InitObj(&owner);
        const Rect32 rect = owner.m_rect;
        const unsigned long long before = scriptRuns();
        // The output also handles the forced update 88888.
        for (int event : {-1, 1, 2, 3, 5, 11111, id == 0x3007 ? 88887 : 88888}) {
            EXPECT_EQ(animation->Run(event), 0) << event;
        }
        EXPECT_EQ(scriptRuns(), before);
        EXPECT_EQ(owner.m_rect, rect);
        EXPECT_EQ(owner.setTextCalls, 0);
        animation->Run(0);
        EXPECT_EQ(scriptRuns(), before + 1);
    }
}

std::string oldHeader(const std::string& source, const std::string& program) {
    return StreamWriter().hostString(source).i32(int32_t(program.size())).raw(program).take();
}

std::string newHeader(uint8_t version, const std::string& program) {
    return StreamWriter().u8(version).i32(int32_t(program.size())).raw(program).take();
}

TEST_F(AniFramework, HeaderFormFollowsTheProjectVersion) {
    struct Case {
        int major, minor, build, revision;
        bool old;
    };
    const Case cases[] = {
        {3, 2, 5, 1840, true}, {3, 2, 5, 1841, false}, {3, 2, 6, 0, false},
        {3, 3, 0, 0, false},   {4, 0, 0, 0, false},    {3, 2, 4, 9999, true},
        {3, 1, 9, 9999, true}, {2, 9, 9, 9999, true},  {-1, 99, 99, 99999, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.major << '.' << c.minor << '.' << c.build << '.' << c.revision);
        setVersion(c.major, c.minor, c.build, c.revision);
        // The forms differ in their first bytes: only the right one reads the whole record.
        const std::string bytes = c.old ? oldHeader("a+b", "PRG") : newHeader(11, "PRG");
        auto buffer = bufferOf(bytes);
        CAniObj animation;
        ASSERT_TRUE(animation.deserialize(&buffer));
        EXPECT_EQ(bytesOf(animation.m_bufExpress), "PRG");
        EXPECT_EQ(buffer.position(), bytes.size());
        EXPECT_EQ(animation.m_byVersion, c.old ? 10 : 11);
    }
    // A host without a version selects the current form; an empty program loads.
    kestro::Gui::instance().clearProjectVersion();
    auto buffer = bufferOf(newHeader(11, ""));
    CAniObj animation;
    ASSERT_TRUE(animation.deserialize(&buffer));
    EXPECT_EQ(animation.m_byVersion, 11);
    EXPECT_EQ(animation.m_bufExpress.length(), 0u);
}

TEST_F(AniFramework, HeaderFailures) {
    const std::string full = newHeader(10, "PROGRAM");
    for (size_t cut = 0; cut < full.size(); ++cut) {
        auto buffer = bufferOf(full.substr(0, cut));
        CAniObj partial;
        EXPECT_FALSE(partial.deserialize(&buffer)) << cut;
    }
    // A negative length, or one beyond the bytes left, is refused before anything is taken.
    for (int32_t length : {-1, std::numeric_limits<int32_t>::min(), 5}) {
        auto buffer = bufferOf(StreamWriter().u8(10).i32(length).raw("abcd").take());
        CAniObj refused;
        EXPECT_FALSE(refused.deserialize(&buffer)) << length;
        EXPECT_EQ(refused.m_bufExpress.length(), 0u);
    }
    EXPECT_TRUE(kvtest::nothingReported());

    // Only the source text is guarded: a foreign exception there fails the header, the host's
    // block errors pass on, and so does anything thrown from the other items.
    setVersion(3, 0, 0, 0);
    CAniObj animation;
    ThrowingBuffer<std::runtime_error> throwing(oldHeader("src", "P"), 0);
    EXPECT_FALSE(animation.deserialize(&throwing));
    ThrowingBuffer<FF::utils::deserialize_block_error> blockError(oldHeader("src", "P"), 0);
    EXPECT_THROW(animation.deserialize(&blockError), FF::utils::deserialize_block_error);
    auto shortText = bufferOf(StreamWriter().u8(40).raw("abc").take());
    EXPECT_THROW(animation.deserialize(&shortText), FF::utils::deserialize_block_error);
    ThrowingBuffer<std::runtime_error> oldLength(oldHeader("", "P"), 1);
    EXPECT_THROW(animation.deserialize(&oldLength), std::runtime_error);
    setVersion(4, 0, 0, 0);
    ThrowingBuffer<std::runtime_error> atVersion(newHeader(10, "P"), 0);
    ThrowingBuffer<std::runtime_error> atLength(newHeader(10, "P"), 1);
    EXPECT_THROW(animation.deserialize(&atVersion), std::runtime_error);
    EXPECT_THROW(animation.deserialize(&atLength), std::runtime_error);
}

// A failed evaluation is reported with the kind's texts and leaves the owner as it was.
TEST_F(AniFramework, ExpressionFailureReportsAndKeepsTheOwner) {
    const std::string program = anitest::Program("1");
    auto with = [&program](auto record) {
        record.header.program = program;
        return kestro::animationEntry(record);
    };
    auto table = [](auto record) {
        record.values = {10};
        record.colors = {0x111111};
        return record;
    };
    auto output = [&with](int type) {
        kestro::OutputRecord record;
        record.outputType = type;
        record.decimals = 2;
        return with(record);
    };
    kestro::BlinkRecord blink;
    blink.blinkType = 1;
    kestro::MoveRecord move;
    move.maxOffset = 100;
    move.maxValue = 10;
    kestro::SizeRecord size;
    size.maxValue = 100;
    size.maxPercent = 50;
    struct Case {
        kestro::AnimationEntry entry;
        int event;
        int code;
        std::string message;
        kvtest::Log log;
        int radix = -1;
    };
    const std::string floatError = "script_SvrRunExpressFloat retrun error!";
    // clang-format off
    const Case cases[] = {
        {with(kestro::VisibleRecord()), 0, 32, "CAniVisible expressFloat run error",
         {"Run", "animation\\anivisible", 58, 2, "CAniVisible", "CAniVisible ExpressFloat error"}},
        {with(blink), 1, 12, "CAniBlink expressFloat run error!",
         {"Run", "animation\\aniblink", 132, 2, "CAniBlink", "CAniBlink ExpressFloat errorCode!"}},
        {with(table(kestro::PenRecord())), 0, 25, "CAniPen expressFloat run error",
         {"Run", "animation\\anipen", 114, 2, "CAniPen", "CAniPen ExpressFloat errorCode"}},
        {with(table(kestro::BrushRecord())), 0, 15, "CAnibrush expressFloat run error",
         {"Run", "animation\\anibrush", 112, 2, "CAnibrush ExpressFloat errorCod", "erro!"}},
        {with(kestro::BrushRecord()), 0, 15, "CAnibrush expressFloat run error",
         {"Run", "animation\\anibrush", 112, 2, "CAnibrush ExpressFloat errorCod", "erro!"}},
        {with(table(kestro::TextColorRecord())), 0, 46, "CAniTextColor--" + floatError,
         {"Run", "animation\\anitextcolor", 117, 2, "CAniTextColor", floatError}},
        {with(kestro::HMoveRecord{move}), 0, 19, "CAniHMove expressFloat run error",
         {"Run", "animation\\anihmove", 98, 2, "CAniHMove ExpressFloat errorCod", "error"}},
        {with(kestro::VMoveRecord{move}), 0, 36, "CAniVMove expressFloat run error",
         {"Run", "animation\\anivmove", 94, 2, "CAniVMove", "CAniVMove ExpressFloat error"}},
        {with(size), 0, 28, "CAniSize expressFloat run error",
         {"Run", "animation\\anisize", 115, 2, "CAniSize", "CAniSize ExpressFloat error"}},
        {output(0), 0, 41, "CAniOutput--" + floatError,
         {"Run", "animation\\anioutput", 212, 2, "CAniOutput", floatError}},
        {output(1), 88888, 43, "CAniOutput--" + floatError,
         {"Run", "animation\\anioutput", 251, 2, "CAniOutput", floatError}},
        {output(2), 0, 44, "CAniOutput--script_SvrRunExpressStr retrun error!",
         {"Run", "animation\\anioutput", 318, 2, "CAniOutput", "script_SvrRunExpressStr retrun error!"}},
        {output(-4), 0, 44, "CAniOutput--script_SvrRunExpressStr retrun error!",
         {"Run", "animation\\anioutput", 318, 2, "CAniOutput", "script_SvrRunExpressStr retrun error!"}},
        {output(1), 0, 42, "CAniOutput--script_SvrRunExpressInt retrun error!",
         {"Run", "animation\\anioutput", 226, 2, "CAniOutput", "script_SvrRunExpressInt retrun error!"}, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        anitest::TextOwner owner(2);
        owner.presetText("before");
        CAniObj* animation = attach<CAniObj>(owner, anitest::Record(0, 0, 100, 50), {c.entry});
        if (auto* out = dynamic_cast<CAniOutput*>(animation)) {
            out->m_nRadix = c.radix;
        }
        auto look = [&owner] {
            return std::make_tuple(owner.m_rect.left, owner.m_rect.top, owner.m_rect.right,
                                   owner.m_rect.bottom, owner.m_nShowState, owner.m_bPen,
                                   owner.m_logPen.color, owner.m_bBrush, owner.m_logBrush.color,
                                   owner.m_crText);
        };
        const auto before = look();
        HostLog::instance().clear();
        kvtest::queueScriptResult(kvtest::ScriptResult::failure());
        EXPECT_EQ(animation->Run(c.event), 0);
        kvtest::expectFault(c.code, c.message, c.log);
        EXPECT_TRUE(look() == before);
        EXPECT_EQ(owner.m_pClipRect, nullptr);
        EXPECT_EQ(owner.text(), "before");
        EXPECT_EQ(owner.setTextCalls, 0);
    }
}

} // namespace
