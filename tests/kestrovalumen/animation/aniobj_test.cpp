// Animation framework: the factory, the common record header in both forms (chosen by the
// project version), its failure handling, the shared expression-evaluation step, and what every
// class does without an owner or on the events it does not handle.
#include "kestrovalumen/animation/aniblink.h"
#include "kestrovalumen/animation/anibrush.h"
#include "kestrovalumen/animation/aniclick.h"
#include "kestrovalumen/animation/aniexpr.h"
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
#include <typeinfo>

using kestro::HostLog;
using kestro::StreamWriter;
using namespace streamtest;

namespace {

class AniFramework : public anitest::AnimationTest {};

// ---- factory ----

TEST_F(AniFramework, FactoryMakesEachClassWithItsTypeId) {
    struct Case {
        uint32_t id;
        const std::type_info& type;
        int isBlink;
    };
    const Case cases[] = {
        {0x3001, typeid(CAniBlink), 1},   {0x3002, typeid(CAniBrush), 0},
        {0x3003, typeid(CAniClick), 0},   {0x3004, typeid(CAniHMove), 0},
        {0x3005, typeid(CAniVMove), 0},   {0x3006, typeid(CAniInput), 0},
        {0x3007, typeid(CAniOutput), 0},  {0x3008, typeid(CAniPen), 0},
        {0x3009, typeid(CAniSize), 0},    {0x300A, typeid(CAniTextColor), 0},
        {0x300B, typeid(CAniVisible), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        std::unique_ptr<CAniObj> animation(CreateAnimation(c.id));
        ASSERT_NE(animation, nullptr);
        const CAniObj& made = *animation;
        EXPECT_EQ(typeid(made), c.type);
        EXPECT_EQ(animation->m_nAniType, c.id);
        EXPECT_EQ(animation->IsBlink(), c.isBlink);
        EXPECT_EQ(animation->m_byVersion, 10);
        EXPECT_EQ(animation->m_pDrawObj, nullptr);
        EXPECT_EQ(animation->m_bufExpress.length(), 0u);
    }
    for (uint32_t id : {0x0u, 0x3000u, 0x300Cu, 0x13001u, 0xFFFFFFFFu}) {
        EXPECT_EQ(CreateAnimation(id), nullptr) << id;
    }
}

TEST_F(AniFramework, BaseOperations) {
    CAniObj animation;
    EXPECT_EQ(animation.IsBlink(), 0);
    for (int event : {-1, 0, 1, 5, 11111, 88888}) {
        EXPECT_EQ(animation.Run(event), 0);
    }
    CDrawObj owner;
    animation.InitObj(&owner);
    EXPECT_EQ(animation.m_pDrawObj, &owner);
    animation.InitObj(nullptr);
    EXPECT_EQ(animation.m_pDrawObj, nullptr);
}

// ---- what each class does without an owner and on events it does not handle ----

TEST_F(AniFramework, InitObjWithoutOwnerReportsAndLeavesTheAnimationUnattached) {
    struct Case {
        uint32_t id;
        int code; // 0: silent
        const char* message;
    };
    const Case cases[] = {
        {0x3001, 0, ""},
        {0x3002, 14, "CAniBrush::InitObj failed！para is null!"},
        {0x3004, 18, "CAniHMove::InitObj failed！para is null!"},
        {0x3005, 35, "CAniVMove::InitObj failed！para is null!"},
        {0x3007, 22, "CAniOutput::InitObj failed！para is null!"},
        {0x3008, 24, "CAniPen::InitObj failed！para is null!"},
        {0x3009, 27, "CAniSize::InitObj failed！para is null!"},
        {0x300A, 45, "CAniTextColor::InitObj failed！para is null!"},
        {0x300B, 33, "CAniVisible::InitObj failed！para is null!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        HostLog::instance().clear();
        std::unique_ptr<CAniObj> animation(CreateAnimation(c.id));
        animation->m_bufExpress.assign("\x01", 1);
        animation->InitObj(nullptr);
        EXPECT_EQ(animation->m_pDrawObj, nullptr);
        if (c.code == 0) {
            EXPECT_TRUE(kvtest::nothingReported());
        } else {
            kvtest::expectMonitorOnly(c.code, c.message);
        }
        // Unattached, a refresh has no owner to change and no host to ask.
        EXPECT_EQ(animation->Run(0), 0);
        EXPECT_EQ(animation->Run(1), 0);
    }
    EXPECT_EQ(scriptRuns(), 0u);
    // The blink keeps its defaults.
    CAniBlink blink;
    blink.InitObj(nullptr);
    EXPECT_EQ(blink.m_bSavedPen, 1);
    EXPECT_EQ(blink.m_bSavedBrush, 1);
}

TEST_F(AniFramework, EventsOtherThanTheirOwnEvaluateNothing) {
    struct Case {
        uint32_t id;
        std::vector<int> ignored;
    };
    const std::vector<int> allButRefresh = {-1, 1, 2, 3, 4, 5, 11111, 88888};
    const Case cases[] = {
        {0x3002, allButRefresh}, {0x3004, allButRefresh},
        {0x3005, allButRefresh}, {0x3007, {-1, 1, 2, 3, 5, 11111, 12345, 88887}},
        {0x3008, allButRefresh}, {0x3009, allButRefresh},
        {0x300A, allButRefresh}, {0x300B, allButRefresh},
    };
    const std::string program = anitest::Program("1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        anitest::TextOwner owner(2);
        anitest::Load(owner, anitest::Record(0, 0, 100, 50));
        owner.SetScriptHost(&host);
        std::unique_ptr<CAniObj> animation(CreateAnimation(c.id));
        animation->m_bufExpress.assign(program.data(), program.size());
        animation->InitObj(&owner);
        const Rect32 rect = owner.m_rect;
        const unsigned long long before = scriptRuns();
        for (int event : c.ignored) {
            EXPECT_EQ(animation->Run(event), 0) << event;
        }
        EXPECT_EQ(scriptRuns(), before);
        EXPECT_EQ(owner.m_rect, rect);
        EXPECT_EQ(owner.setTextCalls, 0);
        animation->Run(0); // the refresh does evaluate
        EXPECT_EQ(scriptRuns(), before + 1);
    }
}

// ---- header form by project version ----

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
        {3, 2, 5, 1840, true}, {3, 2, 5, 1841, false}, {3, 2, 5, 9999, false},
        {3, 2, 6, 0, false},   {3, 3, 0, 0, false},    {4, 0, 0, 0, false},
        {3, 2, 4, 9999, true}, {3, 1, 9, 9999, true},  {2, 9, 9, 9999, true},
        {3, 2, 5, 0, true},    {0, 0, 0, 0, true},     {-1, 99, 99, 99999, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.major << '.' << c.minor << '.' << c.build << '.' << c.revision);
        setVersion(c.major, c.minor, c.build, c.revision);
        // The two forms differ in their first bytes, so only the right one reads the whole
        // record and gives back the program.
        const std::string bytes = c.old ? oldHeader("a+b", "PRG") : newHeader(11, "PRG");
        auto buffer = bufferOf(bytes);
        CAniObj animation;
        ASSERT_TRUE(animation.deserialize(&buffer));
        EXPECT_EQ(bytesOf(animation.m_bufExpress), "PRG");
        EXPECT_EQ(buffer.position(), bytes.size());
        EXPECT_EQ(animation.m_byVersion, c.old ? 10 : 11);
    }
    // Source "a+b": the length byte 3 would be taken as the version and the text as the length.
    setVersion(3, 2, 5, 1841);
    auto oldBytes = bufferOf(oldHeader("a+b", "PRG"));
    CAniObj animation;
    EXPECT_FALSE(animation.deserialize(&oldBytes));
}

TEST_F(AniFramework, HostWithoutVersionSelectsTheNewFormAndAnEmptyProgramLoads) {
    kestro::Gui::instance().clearProjectVersion();
    auto buffer = bufferOf(newHeader(11, "xy"));
    CAniObj animation;
    ASSERT_TRUE(animation.deserialize(&buffer));
    EXPECT_EQ(animation.m_byVersion, 11);
    EXPECT_EQ(bytesOf(animation.m_bufExpress), "xy");

    auto empty = bufferOf(newHeader(10, ""));
    CAniObj other;
    EXPECT_TRUE(other.deserialize(&empty));
    EXPECT_EQ(other.m_bufExpress.length(), 0u);
}

TEST_F(AniFramework, BaseHeaderFailuresAreSilent) {
    CAniObj animation;
    EXPECT_FALSE(animation.deserialize(nullptr));

    const std::string full = newHeader(10, "PROGRAM");
    for (size_t cut = 0; cut < full.size(); ++cut) {
        auto buffer = bufferOf(full.substr(0, cut));
        CAniObj partial;
        EXPECT_FALSE(partial.deserialize(&buffer)) << cut;
    }
    // A negative length, or one beyond the bytes left, is refused before anything is taken.
    for (int32_t length : {-1, -7, std::numeric_limits<int32_t>::min(), 5}) {
        SCOPED_TRACE(length);
        auto buffer = bufferOf(StreamWriter().u8(10).i32(length).raw("abcd").take());
        CAniObj refused;
        EXPECT_FALSE(refused.deserialize(&buffer));
        EXPECT_EQ(refused.m_bufExpress.length(), 0u);
    }
    EXPECT_TRUE(kvtest::nothingReported());
}

TEST_F(AniFramework, OnlyTheSourceTextIsGuarded) {
    setVersion(3, 0, 0, 0);
    const std::string bytes = oldHeader("src", "P");
    // A foreign exception inside the source text read fails the header.
    ThrowingBuffer<std::runtime_error> throwing(bytes, 0);
    CAniObj animation;
    EXPECT_FALSE(animation.deserialize(&throwing));
    // A malformed block is passed on.
    ThrowingBuffer<FF::utils::deserialize_block_error> blockError(bytes, 0);
    EXPECT_THROW(animation.deserialize(&blockError), FF::utils::deserialize_block_error);
    // So is the host's own complaint about a text longer than the stream.
    auto shortText = bufferOf(StreamWriter().u8(40).raw("abc").take());
    EXPECT_THROW(animation.deserialize(&shortText), FF::utils::deserialize_block_error);
    // The length of the old form, the version byte and the length of the new one are not.
    ThrowingBuffer<std::runtime_error> oldLength(oldHeader("", "P"), 1);
    EXPECT_THROW(animation.deserialize(&oldLength), std::runtime_error);
    setVersion(4, 0, 0, 0);
    ThrowingBuffer<std::runtime_error> atVersion(newHeader(10, "P"), 0);
    ThrowingBuffer<std::runtime_error> atLength(newHeader(10, "P"), 1);
    EXPECT_THROW(animation.deserialize(&atVersion), std::runtime_error);
    EXPECT_THROW(animation.deserialize(&atLength), std::runtime_error);
}

TEST_F(AniFramework, EachClassReportsItsHeaderFailureOnce) {
    struct Case {
        uint32_t id;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {0x3001, 10, "CAniBlink flag非法"},   {0x3002, 13, "CAniBrush flag非法"},
        {0x3003, 16, "CAniClick flag非法"},   {0x3004, 17, "CAniHMove flag非法"},
        {0x3005, 34, "CAniVMove flag非法"},   {0x3006, 20, "CAniInput flag非法"},
        {0x3007, 21, "CAniOutput flag非法"},  {0x3008, 23, "CAniPen flag非法"},
        {0x3009, 26, "CAniSize flag非法"},    {0x300A, 29, "CAniTextColor flag非法"},
        {0x300B, 30, "CAniVisible flag非法"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        HostLog::instance().clear();
        std::unique_ptr<CAniObj> animation(CreateAnimation(c.id));
        // Cut inside the length field.
        auto buffer = bufferOf(std::string("\x0a\x01\x00", 3));
        EXPECT_FALSE(animation->deserialize(&buffer));
        kvtest::expectMonitorOnly(c.code, c.message);

        HostLog::instance().clear();
        EXPECT_FALSE(animation->deserialize(nullptr));
        EXPECT_EQ(kvtest::monitorCodes(), std::vector<int>{c.code});
    }
}

// ---- the expression-evaluation step ----

const kv::Report kFailure{32,
                          "CAniVisible expressFloat run error",
                          {"Run", "animation\\anivisible", 58, 2, "CAniVisible"},
                          "CAniVisible ExpressFloat error"};

TEST_F(AniFramework, EvaluationGivesTheValueOrReportsTwice) {
    kvtest::queueScriptResult(kvtest::ScriptResult::value(-2.75));
    CAniVisible animation;
    double value = 0.0;
    EXPECT_TRUE(kv::EvaluateFloat(animation, value, kFailure));
    EXPECT_EQ(value, -2.75);
    EXPECT_EQ(scriptRuns(), 1u);
    EXPECT_TRUE(kvtest::nothingReported());

    kvtest::queueScriptResult(kvtest::ScriptResult::failure());
    value = 123.0;
    EXPECT_FALSE(kv::EvaluateFloat(animation, value, kFailure));
    EXPECT_EQ(value, 123.0);
    kvtest::expectFault(
        32, "CAniVisible expressFloat run error",
        {"Run", "animation\\anivisible", 58, 2, "CAniVisible", "CAniVisible ExpressFloat error"});

    kvtest::queueScriptResult(kvtest::ScriptResult::string("abc"));
    CAniOutput output;
    Script::ValueType result;
    ASSERT_TRUE(kv::EvaluateExpression(output, result, kFailure));
    EXPECT_EQ(result.getString(), "abc");
}

} // namespace
