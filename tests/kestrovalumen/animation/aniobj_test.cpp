// What every animation kind shares: the factory, header and owner failures, failed evaluations.
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

#include <tuple>
#include <typeinfo>

using kestro::HostLog;

namespace {

class AniFramework : public anitest::AnimationTest {};

TEST_F(AniFramework, EachKindIsMadeReportsItsHeaderFailureAndNeedsAnOwner) {
    struct Kind {
        uint32_t id;
        const std::type_info& type;
        int headerCode, initCode; // initCode 0: silent
        const char* name;
    };
    const Kind kinds[] = {
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
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        std::unique_ptr<CAniObj> animation(CreateAnimation(k.id));
        ASSERT_NE(animation, nullptr);
        const CAniObj& made = *animation;
        EXPECT_EQ(typeid(made), k.type);
        EXPECT_EQ(animation->m_nAniType, k.id);
        EXPECT_EQ(animation->IsBlink(), k.id == 0x3001 ? 1 : 0);
        // Cut inside the length field; then no buffer at all.
        HostLog::instance().clear();
        auto buffer = streamtest::bufferOf(std::string("\x0a\x01\x00", 3));
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
        EXPECT_EQ(animation->Run(0), 0);
        EXPECT_EQ(animation->Run(1), 0);
    }
    EXPECT_EQ(scriptRuns(), 0u);
    for (uint32_t id : {0x0u, 0x3000u, 0x300Cu, 0x13001u, 0xFFFFFFFFu}) {
        EXPECT_EQ(CreateAnimation(id), nullptr) << id;
    }
}

TEST_F(AniFramework, ExpressionFailureReportsAndKeepsTheOwner) {
    auto with = [](auto record) { return anitest::Entry(record, "1"); };
    const kestro::ColorTableRecord table{{}, {10}, {0x111111}};
    const kestro::MoveRecord move{{}, 0, 100, 0, 10};
    auto output = [](int type) {
        return anitest::Entry(kestro::OutputRecord{{}, "", "", type, 2, 0, 0}, "1");
    };
    struct Case {
        kestro::AnimationEntry entry;
        int event, code;
        std::string message;
        kvtest::Log log;
        int radix = -1;
    };
    const std::string floatError = "script_SvrRunExpressFloat retrun error!";
    const std::string strError = "script_SvrRunExpressStr retrun error!";
    // clang-format off
    const Case cases[] = {
        {with(kestro::VisibleRecord()), 0, 32, "CAniVisible expressFloat run error",
         {"Run", "animation\\anivisible", 58, 2, "CAniVisible", "CAniVisible ExpressFloat error"}},
        {with(kestro::BlinkRecord{{}, 0, 1, 0, 0, 0}), 1, 12, "CAniBlink expressFloat run error!",
         {"Run", "animation\\aniblink", 132, 2, "CAniBlink", "CAniBlink ExpressFloat errorCode!"}},
        {with(kestro::PenRecord{table}), 0, 25, "CAniPen expressFloat run error",
         {"Run", "animation\\anipen", 114, 2, "CAniPen", "CAniPen ExpressFloat errorCode"}},
        {with(kestro::BrushRecord{table}), 0, 15, "CAnibrush expressFloat run error",
         {"Run", "animation\\anibrush", 112, 2, "CAnibrush ExpressFloat errorCod", "erro!"}},
        {with(kestro::TextColorRecord{table}), 0, 46, "CAniTextColor--" + floatError,
         {"Run", "animation\\anitextcolor", 117, 2, "CAniTextColor", floatError}},
        {with(kestro::HMoveRecord{move}), 0, 19, "CAniHMove expressFloat run error",
         {"Run", "animation\\anihmove", 98, 2, "CAniHMove ExpressFloat errorCod", "error"}},
        {with(kestro::VMoveRecord{move}), 0, 36, "CAniVMove expressFloat run error",
         {"Run", "animation\\anivmove", 94, 2, "CAniVMove", "CAniVMove ExpressFloat error"}},
        {with(kestro::SizeRecord{{}, 0, 0, 0, 100, 50, 0}), 0, 28, "CAniSize expressFloat run error",
         {"Run", "animation\\anisize", 115, 2, "CAniSize", "CAniSize ExpressFloat error"}},
        {output(0), 0, 41, "CAniOutput--" + floatError,
         {"Run", "animation\\anioutput", 212, 2, "CAniOutput", floatError}},
        {output(1), 88888, 43, "CAniOutput--" + floatError,
         {"Run", "animation\\anioutput", 251, 2, "CAniOutput", floatError}},
        {output(2), 0, 44, "CAniOutput--" + strError, {"Run", "animation\\anioutput", 318, 2, "CAniOutput", strError}},
        {output(-4), 0, 44, "CAniOutput--" + strError, {"Run", "animation\\anioutput", 318, 2, "CAniOutput", strError}},
        {output(1), 0, 42, "CAniOutput--script_SvrRunExpressInt retrun error!",
         {"Run", "animation\\anioutput", 226, 2, "CAniOutput", "script_SvrRunExpressInt retrun error!"}, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        anitest::TextOwner owner(2);
        owner.m_text = "before";
        CAniObj* animation = attach<CAniObj>(owner, anitest::Record(0, 0, 100, 50), {c.entry});
        if (auto* out = dynamic_cast<CAniOutput*>(animation)) {
            out->m_nRadix = c.radix;
        }
        auto look = [&owner] {
            return std::make_tuple(owner.m_rect, owner.m_nShowState, owner.m_bPen,
                                   owner.m_logPen.color, owner.m_bBrush, owner.m_logBrush.color,
                                   owner.m_crText, owner.m_pClipRect, owner.text());
        };
        const auto before = look();
        HostLog::instance().clear();
        kvtest::queueScriptResult(kvtest::ScriptResult::failure());
        EXPECT_EQ(animation->Run(c.event), 0);
        kvtest::expectFault(c.code, c.message, c.log);
        EXPECT_TRUE(look() == before);
        EXPECT_EQ(owner.setTextCalls, 0);
    }
}

} // namespace
