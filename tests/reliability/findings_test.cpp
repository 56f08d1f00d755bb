// Faults found by fuzzing and the hang and memory checks, each with the smallest input showing it.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/host/script.h"
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/rects.h"
#include "kestrovalumen/shapes/solids.h"
#include "runtime/host/gui.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/host/script.h"
#include "runtime/paint/recordingdevice.h"
#include "runtime/stream/writer.h"
#include "tests/support/allocations.h"
#include "tests/support/hostfixture.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kestro;

// While it lives, the data of the process may grow by at most 1 GiB, so that an allocation the
// input cannot justify fails the test instead of passing slowly on a big machine. Off under the
// address sanitizer (its shadow memory counts as data) and valgrind (which keeps its own accounts).
class MemoryGuard {
public:
    MemoryGuard() {
        std::stringstream maps, status;
        maps << std::ifstream("/proc/self/maps").rdbuf();
        status << std::ifstream("/proc/self/status").rdbuf();
        const size_t data = status.str().find("VmData:");
        if (!kvtest::allocationsCounted() || maps.str().find("vgpreload") != std::string::npos ||
            data == std::string::npos || getrlimit(RLIMIT_DATA, &m_saved) != 0) {
            return;
        }
        rlimit capped = m_saved;
        capped.rlim_cur = std::stoull(status.str().substr(data + 7)) * 1024 + (1ull << 30);
        m_active = capped.rlim_cur <= m_saved.rlim_max && setrlimit(RLIMIT_DATA, &capped) == 0;
    }
    ~MemoryGuard() {
        if (m_active) {
            setrlimit(RLIMIT_DATA, &m_saved);
        }
    }

private:
    rlimit m_saved{};
    bool m_active = false;
};

template <class Draw>
PaintRecords painted(PaintKind kind, Draw draw) {
    RecordingDevice device(800, 600);
    {
        QPainter painter(&device);
        draw(&painter);
    }
    return device.ofKind(kind);
}

using ScriptFindings = HostTest;
using AnimationFindings = HostTest;
using ShapeFindings = HostTest;

// A program (built by hand, as docs/expressions.md lays it out) of one string constant of
// `length` bytes 'a', pushed, then pushed again and joined onto the first `joins` times.
std::vector<unsigned char> selfJoining(uint32_t length, uint32_t joins) {
    std::vector<unsigned char> program = {'K', 'X', 'P', 'R', 1, 0, 1, 0}; // version 1, 1 constant
    const auto put32 = [&program](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            program.push_back(static_cast<unsigned char>(v >> (8 * i)));
        }
    };
    put32(length);        // string area
    put32(3 + 4 * joins); // code
    program.push_back(3); // a string constant: offset 0, all of the area
    put32(0);
    put32(length);
    program.insert(program.end(), length, 'a');
    program.insert(program.end(), {0x01, 0x00, 0x00}); // const #0
    for (uint32_t i = 0; i < joins; ++i) {
        program.insert(program.end(), {0x01, 0x00, 0x00, 0x10}); // const #0, add
    }
    return program;
}

// 220 kilobytes of program could build 2.4 gigabytes of text, copied piece by piece: memory and
// time growing with the square of its length. One run builds at most 16 MiB (pushes and joins).
TEST_F(ScriptFindings, OneRunBuildsAtMost16MiBOfText) {
    const struct {
        uint32_t length, joins;
        size_t resultLength; //!< 0: refused
    } cases[] = {
        {131072, 62, 63u * 131072u}, // 125 pieces of 131072 bytes built: 16384000 bytes
        {131072, 64, 0},             // 129 pieces: 16908288 bytes, 131072 over
        {60000, 40000, 0},           // 2.4 gigabytes without the limit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.joins);
        const std::vector<unsigned char> program = selfJoining(c.length, c.joins);
        Script::ValueType result;
        bool ok = false;
        {
            MemoryGuard guard;
            ok = script_SvrRunProg(program.data(), static_cast<unsigned int>(program.size()),
                                   result, nullptr);
        }
        const std::string error = ScriptService::instance().lastError();
        EXPECT_EQ(ok, c.resultLength > 0) << error;
        EXPECT_EQ(result.getString(), std::string(c.resultLength, 'a'));
        if (!ok) {
            EXPECT_EQ(error, "text too long: one run builds at most 16777216 bytes of text");
            EXPECT_EQ(result.kind(), Script::ValueType::Empty);
        }
    }
}

// The value input presets its decimal keyboard with as many decimals as the value output of the
// same object shows; a damaged output asks for up to 2^31 - 1. Only what the keyboard's 1023
// bytes hold is formatted, never gigabytes.
TEST_F(AnimationFindings, InputPresetTakesOnlyTheDecimalsTheKeyboardCanHold) {
    const std::string full = "47.5" + std::string(1019, '0');
    const std::pair<int32_t, std::string> cases[] = {
        {3, "47.500"}, {1017, full.substr(0, 1020)}, {1100, full}, {INT32_MAX, full}};
    for (const auto& [decimals, preset] : cases) {
        SCOPED_TRACE(decimals);
        resetHost();
        Rtdb& db = Rtdb::instance();
        ASSERT_EQ(db.define("Level", VarType::Float), 0);
        db.setFloat(0, 47.5);
        InputRecord input;
        input.inputType = 1; // numeric
        input.upper.value = 100;
        input.varId = 0;
        OutputRecord output;
        output.outputType = 1;
        output.decimals = decimals;
        ObjectRecord record;
        record.right = 100;
        record.bottom = 40;
        record.animations = {animationEntry(input), animationEntry(output)};
        const std::string bytes = encodeObject(record);
        CDrawRect object;
        FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
        ASSERT_TRUE(object.deserialize(&buffer));
        RtdbScriptHost host;
        object.SetScriptHost(&host);
        Gui::instance().queueKeyboardAnswer({true, "50"});
        {
            MemoryGuard guard;
            object.Run(11111);
        }
        ASSERT_EQ(Gui::instance().keyboardCalls().size(), 1u);
        EXPECT_EQ(Gui::instance().keyboardCalls()[0].preset, preset);
        double level = 0;
        ASSERT_EQ(db.getFloat(0, &level), 0);
        EXPECT_EQ(level, 50.0);
    }
}

// Record geometry is 32-bit and wraps. The third arrow's notch sits at (y1 + 2 * y2) / 3; with
// y2 = 1816556132, 2 * y2 wraps to -661855032 (a signed overflow the sanitizer build reports
// unless it wraps on purpose), a third of which is -220618344.
TEST_F(ShapeFindings, ArrowNotchWrapsLikeEveryRecordValue) {
    CDrawArrow3 arrow;
    arrow.m_rect = {0, 0, 101, 1816556133};
    arrow.m_nDirection = 0; // up
    arrow.m_bPen = arrow.m_bBrush = 1;
    const PaintRecords polygons = painted(PaintKind::Polygon, [&](QPainter* p) { arrow.Draw(p); });
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(polygons[0].points,
              QPolygonF({{0, 1816556132}, {50, 0}, {100, 1816556132}, {50, -220618344}}));
}

// The shaded pentagon draws one nested outline per pixel of half its extent: a damaged height of
// 2e9 asked for 1e9 outlines. Beyond 32769 (an extent of 65534, twice the widest device) none are
// drawn.
TEST_F(ShapeFindings, ShadedPentagonDrawsAtMost32769Outlines) {
    const std::pair<int32_t, size_t> cases[] = {
        {60, 32}, {65534, 32769}, {65536, 32769}, {2000000000, 32769}};
    for (const auto& [extent, outlines] : cases) {
        SCOPED_TRACE(extent);
        CDrawPentagon3D pentagon;
        pentagon.m_rect = {0, -extent / 2, 100, extent - extent / 2};
        pentagon.m_nPercent = 30;
        pentagon.m_nDirection = 1; // pointing right: one polygon per outline, extent = height
        pentagon.m_bPen = pentagon.m_bBrush = 1;
        pentagon.m_logBrush.color = 0xFFFFFF;
        const auto draw = [&](QPainter* p) {
            MemoryGuard guard;
            pentagon.Draw(p);
        };
        EXPECT_EQ(painted(PaintKind::Polygon, draw).size(), outlines);
    }
}

// The ring moves its wide case by (int)((Wc / Hc - 1) * (Hc / 2 + T)): 1e18 for a damaged ring
// 2e9 wide, 2 high and 1e9 down, where a plain conversion is undefined. It saturates.
TEST_F(ShapeFindings, ShadedRingTranslationStaysAnInt) {
    const struct {
        Rect32 rect;
        double scaleY, dy; // of the transform the ring's path is filled with
    } cases[] = {
        {{0, 0, 200, 100}, 0.5, 25.0},                                // translate(0, 50), scaled
        {{0, 1000000000, 2000000000, 1000000002}, 1e-9, 2.147483647}, // translate(0, INT_MAX)
    };
    for (const auto& c : cases) {
        CDrawCircle3D ring;
        ring.m_rect = c.rect;
        ring.m_nRingWidth = 100;
        const PaintRecords paths = painted(PaintKind::Path, [&](QPainter* p) { ring.Draw(p); });
        ASSERT_EQ(paths.size(), 1u);
        EXPECT_DOUBLE_EQ(paths[0].state.transform.m22(), c.scaleY);
        EXPECT_DOUBLE_EQ(paths[0].state.transform.dy(), c.dy);
    }
}

// A pipe of a damaged record reaches the device with corners 4e9 pixels apart, beyond the int
// width of QRect: the record takes its rectangle from the corners.
TEST(PaintFindings, IntegerRectanglesKeepCornersFarApart) {
    const QRect wide(QPoint(-2000000000, 5), QPoint(2000000000, 15));
    for (PaintKind kind : {PaintKind::Rects, PaintKind::Ellipse}) {
        const PaintRecords records = painted(kind, [&](QPainter* p) {
            p->drawRect(wide);
            p->drawEllipse(wide);
        });
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].rects, QVector<QRectF>{QRectF(-2e9, 5, 4000000001.0, 11)});
    }
}

} // namespace
