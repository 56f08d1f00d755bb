// ctest-label: stream
// Animation framework: the factory, the common record header in both forms (chosen by the
// project version), its failure handling, and the shared expression-evaluation step.
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
#include "kestrovalumen/drawobj.h"
#include "runtime/script.h"
#include "runtime/streamwriter.h"
#include "tests/kestrovalumen/streamtestutil.h"
#include "tests/support/hostfixture.h"

#include <cfenv>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <typeinfo>

using kestro::HostLog;
using kestro::StreamWriter;
using namespace streamtest;

namespace {

std::string programOf(const CAniObj& animation) {
    const auto& buffer = animation.m_bufExpress;
    return buffer.length() ? std::string(reinterpret_cast<const char*>(buffer.data()),
                                         static_cast<size_t>(buffer.length()))
                           : std::string();
}

class AniFramework : public HostTest {};

// ---- factory ----

struct FactoryCase {
    uint32_t id;
    const std::type_info& type;
    int isBlink;
};

TEST_F(AniFramework, FactoryMakesEachClassWithItsTypeId) {
    const FactoryCase cases[] = {
        {0x3001, typeid(CAniBlink), 1},   {0x3002, typeid(CAniBrush), 0},
        {0x3003, typeid(CAniClick), 0},   {0x3004, typeid(CAniHMove), 0},
        {0x3005, typeid(CAniVMove), 0},   {0x3006, typeid(CAniInput), 0},
        {0x3007, typeid(CAniOutput), 0},  {0x3008, typeid(CAniPen), 0},
        {0x3009, typeid(CAniSize), 0},    {0x300A, typeid(CAniTextColor), 0},
        {0x300B, typeid(CAniVisible), 0},
    };
    for (const FactoryCase& c : cases) {
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
}

TEST_F(AniFramework, FactoryRefusesOtherIds) {
    for (uint32_t id : {0x0u, 0x3000u, 0x300Cu, 0x13001u, 0xFFFFFFFFu}) {
        EXPECT_EQ(CreateAnimation(id), nullptr) << id;
    }
}

TEST_F(AniFramework, VisibleFromTheLastIdIs12299) {
    std::unique_ptr<CAniObj> animation(CreateAnimation(0x300B));
    ASSERT_NE(dynamic_cast<CAniVisible*>(animation.get()), nullptr);
    EXPECT_EQ(animation->m_nAniType, 12299u);
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

// ---- header form by project version ----

std::string oldHeader(const std::string& source, const std::string& program) {
    return StreamWriter().hostString(source).i32(int32_t(program.size())).raw(program).take();
}

std::string newHeader(uint8_t version, const std::string& program) {
    return StreamWriter().u8(version).i32(int32_t(program.size())).raw(program).take();
}

struct VersionCase {
    int major, minor, build, revision;
    bool old;
};

TEST_F(AniFramework, HeaderFormFollowsTheProjectVersion) {
    const VersionCase cases[] = {
        {3, 2, 5, 1840, true}, {3, 2, 5, 1841, false}, {3, 2, 5, 9999, false},
        {3, 2, 6, 0, false},   {3, 3, 0, 0, false},    {4, 0, 0, 0, false},
        {3, 2, 4, 9999, true}, {3, 1, 9, 9999, true},  {2, 9, 9, 9999, true},
        {3, 2, 5, 0, true},    {0, 0, 0, 0, true},     {-1, 99, 99, 99999, true},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.major << '.' << c.minor << '.' << c.build << '.' << c.revision);
        setVersion(c.major, c.minor, c.build, c.revision);
        // The two forms differ in their first bytes, so only the right one reads the whole
        // record and gives back the program.
        const std::string bytes = c.old ? oldHeader("a+b", "PRG") : newHeader(11, "PRG");
        auto buffer = bufferOf(bytes);
        CAniObj animation;
        ASSERT_TRUE(animation.deserialize(&buffer));
        EXPECT_EQ(programOf(animation), "PRG");
        EXPECT_EQ(buffer.position(), bytes.size());
        EXPECT_EQ(animation.m_byVersion, c.old ? 10 : 11);
    }
}

TEST_F(AniFramework, OldFormBytesAreNotReadAsNewForm) {
    setVersion(3, 2, 5, 1841);
    // Source "a+b": the length byte 3 would be taken as the version and the text as the length.
    auto buffer = bufferOf(oldHeader("a+b", "PRG"));
    CAniObj animation;
    EXPECT_FALSE(animation.deserialize(&buffer));
}

TEST_F(AniFramework, HostWithoutVersionSelectsTheNewForm) {
    kestro::Gui::instance().clearProjectVersion();
    auto buffer = bufferOf(newHeader(11, "xy"));
    CAniObj animation;
    ASSERT_TRUE(animation.deserialize(&buffer));
    EXPECT_EQ(animation.m_byVersion, 11);
    EXPECT_EQ(programOf(animation), "xy");
}

TEST_F(AniFramework, EmptyProgramLoads) {
    auto buffer = bufferOf(newHeader(10, ""));
    CAniObj animation;
    EXPECT_TRUE(animation.deserialize(&buffer));
    EXPECT_EQ(animation.m_bufExpress.length(), 0u);
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
    EXPECT_TRUE(HostLog::instance().monitor().empty());
    EXPECT_TRUE(HostLog::instance().logs().empty());
}

TEST_F(AniFramework, NegativeOrOversizedLengthIsRefused) {
    for (int32_t length : {-1, -7, std::numeric_limits<int32_t>::min(), 5}) {
        SCOPED_TRACE(length);
        auto buffer = bufferOf(StreamWriter().u8(10).i32(length).raw("abcd").take());
        CAniObj animation;
        EXPECT_FALSE(animation.deserialize(&buffer));
        EXPECT_EQ(animation.m_bufExpress.length(), 0u);
    }
}

TEST_F(AniFramework, OldHeaderStringGuard) {
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
}

TEST_F(AniFramework, ExceptionsOutsideTheTextPass) {
    // The version byte and the length are not guarded.
    ThrowingBuffer<std::runtime_error> atVersion(newHeader(10, "P"), 0);
    ThrowingBuffer<std::runtime_error> atLength(newHeader(10, "P"), 1);
    CAniObj animation;
    EXPECT_THROW(animation.deserialize(&atVersion), std::runtime_error);
    EXPECT_THROW(animation.deserialize(&atLength), std::runtime_error);
    setVersion(3, 0, 0, 0);
    ThrowingBuffer<std::runtime_error> oldLength(oldHeader("", "P"), 1);
    EXPECT_THROW(animation.deserialize(&oldLength), std::runtime_error);
}

// ---- header failure reports of the classes ----

struct HeaderReport {
    uint32_t id;
    int code;
    const char* message;
};

TEST_F(AniFramework, EachClassReportsItsHeaderFailureOnce) {
    const HeaderReport cases[] = {
        {0x3001, 10, "CAniBlink flag非法"},   {0x3002, 13, "CAniBrush flag非法"},
        {0x3003, 16, "CAniClick flag非法"},   {0x3004, 17, "CAniHMove flag非法"},
        {0x3005, 34, "CAniVMove flag非法"},   {0x3006, 20, "CAniInput flag非法"},
        {0x3007, 21, "CAniOutput flag非法"},  {0x3008, 23, "CAniPen flag非法"},
        {0x3009, 26, "CAniSize flag非法"},    {0x300A, 29, "CAniTextColor flag非法"},
        {0x300B, 30, "CAniVisible flag非法"},
    };
    for (const HeaderReport& c : cases) {
        SCOPED_TRACE(c.message);
        HostLog::instance().clear();
        std::unique_ptr<CAniObj> animation(CreateAnimation(c.id));
        // Cut inside the length field.
        auto buffer = bufferOf(std::string("\x0a\x01\x00", 3));
        EXPECT_FALSE(animation->deserialize(&buffer));
        const auto& monitor = HostLog::instance().monitor();
        ASSERT_EQ(monitor.size(), 1u);
        EXPECT_EQ(monitor[0].module, 10);
        EXPECT_EQ(monitor[0].code, c.code);
        EXPECT_EQ(monitor[0].message, c.message);
        EXPECT_EQ(monitor[0].kind, 1);
        EXPECT_TRUE(HostLog::instance().logs().empty());

        HostLog::instance().clear();
        EXPECT_FALSE(animation->deserialize(nullptr));
        EXPECT_EQ(monitorCodes(), std::vector<int>{c.code});
    }
}

// ---- the expression-evaluation step ----

const kv::ExprFailure kFailure{32,
                               "CAniVisible expressFloat run error",
                               "animation\\anivisible",
                               58,
                               "CAniVisible",
                               "CAniVisible ExpressFloat error"};

TEST_F(AniFramework, EvaluationGivesTheValue) {
    kestro::ScriptService::instance().queueResult(kestro::ScriptResult::value(-2.75));
    CAniVisible animation;
    double value = 0.0;
    EXPECT_TRUE(kv::EvaluateFloat(animation, value, kFailure));
    EXPECT_EQ(value, -2.75);
    EXPECT_EQ(kestro::ScriptService::instance().runs(), 1u);
    EXPECT_TRUE(HostLog::instance().monitor().empty());
    EXPECT_TRUE(HostLog::instance().logs().empty());
}

TEST_F(AniFramework, EvaluationFailureIsReportedTwice) {
    kestro::ScriptService::instance().queueResult(kestro::ScriptResult::failure());
    CAniVisible animation;
    double value = 123.0;
    EXPECT_FALSE(kv::EvaluateFloat(animation, value, kFailure));
    EXPECT_EQ(value, 123.0);

    const auto& monitor = HostLog::instance().monitor();
    ASSERT_EQ(monitor.size(), 1u);
    EXPECT_EQ(monitor[0].code, 32);
    EXPECT_EQ(monitor[0].message, "CAniVisible expressFloat run error");
    const auto& logs = HostLog::instance().logs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].module, 10);
    EXPECT_EQ(logs[0].function, "Run");
    EXPECT_EQ(logs[0].file, "animation\\anivisible");
    EXPECT_EQ(logs[0].line, 58);
    EXPECT_EQ(logs[0].flags, 0);
    EXPECT_EQ(logs[0].level, 2);
    EXPECT_EQ(logs[0].tag, "CAniVisible");
    EXPECT_EQ(logs[0].text, "CAniVisible ExpressFloat error");
}

TEST_F(AniFramework, EvaluationKeepsTheStringResult) {
    kestro::ScriptService::instance().queueResult(kestro::ScriptResult::string("abc"));
    CAniOutput animation;
    Script::ValueType result;
    ASSERT_TRUE(kv::EvaluateExpression(animation, result, kFailure));
    EXPECT_EQ(result.getString(), "abc");
}

struct TruncCase {
    double value;
    int32_t expected;
};

TEST(TruncToInt32, TowardZeroInEveryRoundingMode) {
    const TruncCase cases[] = {
        {0.7, 0},
        {-0.7, 0},
        {1.0, 1},
        {2.9999, 2},
        {-2.5, -2},
        {-3.5, -3},
        {2147483646.9, 2147483646},
        {2147483647.0, 2147483647},
        {-2147483648.0, std::numeric_limits<int32_t>::min()},
        {-2147483648.9, std::numeric_limits<int32_t>::min()},
        {1e10, std::numeric_limits<int32_t>::max()},
        {-1e10, std::numeric_limits<int32_t>::min()},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<int32_t>::max()},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    const int saved = std::fegetround();
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        for (const TruncCase& c : cases) {
            EXPECT_EQ(kv::TruncToInt32(c.value), c.expected) << c.value << " mode " << mode;
        }
    }
    std::fesetround(saved);
}

} // namespace
