// ctest-label: base
// Shared arithmetic and the pen and brush mapping.
#include "kestrovalumen/core/vornDrawPubInter.h"
#include "runtime/host/logger.h"
#include "tests/support/hostfixture.h"
#include "tests/support/reports.h"

#include <QBrush>
#include <QColor>
#include <QPen>

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

using kestro::HostLog;

class PubInterTest : public HostTest {};

TEST_F(PubInterTest, MulDivRoundsHalfAwayFromZero) {
    struct Case {
        int a, b, c, expected;
    };
    const Case cases[] = {
        {3, 5, 2, 8},   // 7.5 up
        {-3, 5, 2, -8}, // -7.5 down
        {3, -5, 2, -8},
        {-3, -5, 2, 8},
        {3, 5, -2, -8},
        {1, 1, 3, 0}, // 0.33
        {2, 1, 3, 1}, // 0.67
        {-2, 1, 3, -1},
        {1, 1, 2, 1},
        {-1, 1, 2, -1},
        {0, 5, 7, 0},
        {0, 5, -7, 0},
        {10, 10000, 100, 1000},
        {6667, 3, 10000, 2},
        {3333, 3, 10000, 1},
        {7, 0, 10000, 0},
        {46340, 46340, 46340, 46340}, // largest square that fits 32 bits
        {-46340, 46340, -1, 2147395600},
        // The product wraps in 32 bits before the division: 4.9e9 - 2^32 = 605032704.
        {70000, 70000, 100, 6050327},
        {65536, 65536, 1, 0},
        {50000, 50000, 1, -1794967296}, // 2.5e9 - 2^32
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
    }
    EXPECT_TRUE(HostLog::instance().logs().empty());
}

TEST_F(PubInterTest, MulDivByZeroLogsAndGivesMinusOne) {
    struct Case {
        int a, b;
    };
    for (const Case& c : {Case{7, 3}, Case{0, 0}, Case{-5, 100}}) {
        HostLog::instance().clear();
        EXPECT_EQ(MulDiv(c.a, c.b, 0), -1);
        EXPECT_TRUE(HostLog::instance().monitor().empty());
        kvtest::expectLog(
            {"MulDiv", "vornDrawPubInter", 52, 2, "DrawObj", "height = 0", "height = %d", 4});
    }
}

TEST(ColorRefToRgb, SwapsTheLowestAndThirdByte) {
    struct Case {
        uint32_t stored, expected;
    };
    const Case cases[] = {
        {0x00336699, 0x00996633}, {0xAA112233, 0xAA332211}, {0x000000FF, 0x00FF0000},
        {0x00FF0000, 0x000000FF}, {0x0000FF00, 0x0000FF00}, {0x00000000, 0x00000000},
        {0xFFFFFFFF, 0xFFFFFFFF}, {0x12345678, 0x12785634},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColorRefToRgb(c.stored), c.expected) << std::hex << c.stored;
    }
}

TEST(ApplyLogPen, StyleWidthAndOpaqueColourFromTheRecord) {
    struct Case {
        uint32_t code;
        Qt::PenStyle style;
    };
    const Case cases[] = {
        {0, Qt::SolidLine},   {1, Qt::DashLine},       {2, Qt::DotLine},
        {3, Qt::DashDotLine}, {4, Qt::DashDotDotLine}, {5, Qt::NoPen},
        {6, Qt::SolidLine},   {7, Qt::SolidLine},      {8, Qt::SolidLine},
        {9, Qt::SolidLine},   {100, Qt::SolidLine},    {0xFFFFFFFF, Qt::SolidLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        QPen pen(Qt::DotLine);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::MiterJoin);
        LogPen rec;
        rec.style = c.code;
        rec.widthX = 3;
        rec.widthY = 9;
        rec.color = 0xAA336699;
        ApplyLogPen(pen, rec);
        EXPECT_EQ(pen.style(), c.style);
        EXPECT_EQ(pen.width(), 3);
        EXPECT_EQ(pen.color(), QColor(0x33, 0x66, 0x99, 255));
        EXPECT_EQ(pen.capStyle(), Qt::RoundCap);
        EXPECT_EQ(pen.joinStyle(), Qt::MiterJoin);
    }
    for (int width : {0, 1, 7}) {
        QPen pen;
        LogPen rec;
        rec.widthX = width;
        ApplyLogPen(pen, rec);
        EXPECT_EQ(pen.width(), width);
    }
}

struct BrushCase {
    uint32_t code;
    Qt::BrushStyle style;
};

void ExpectBrushCodes(std::initializer_list<BrushCase> cases) {
    for (const BrushCase& c : cases) {
        SCOPED_TRACE(c.code);
        QBrush brush(Qt::Dense4Pattern);
        LogBrush rec;
        rec.style = c.code;
        rec.color = 0xFF0A0B0C;
        rec.hatch = 3;
        ApplyLogBrush(brush, rec);
        EXPECT_EQ(brush.style(), c.style);
        EXPECT_EQ(brush.color(), QColor(0x0A, 0x0B, 0x0C, 255));
    }
}

TEST(ApplyLogBrush, StyleAndOpaqueColourFromTheRecord) {
    ExpectBrushCodes({
        {0, Qt::SolidPattern},
        {1, Qt::NoBrush},
        {2, Qt::NoBrush},
        {3, Qt::NoBrush},
        {4, Qt::NoBrush},
        {5, Qt::NoBrush},
        {6, Qt::NoBrush},
        {7, Qt::NoBrush},
        {8, Qt::NoBrush},
        {9, Qt::NoBrush},
        {10, Qt::HorPattern},
        {11, Qt::VerPattern},
        {12, Qt::CrossPattern},
        {13, Qt::BDiagPattern},
        {14, Qt::FDiagPattern},
        {15, Qt::DiagCrossPattern},
        {20, Qt::SolidPattern},
        {200, Qt::SolidPattern},
        {0xFFFFFFFF, Qt::SolidPattern},
    });
}

// The gradient and texture codes name styles that a plain brush cannot take (there is no
// gradient or image in the record), so a new brush keeps its no-fill style.
TEST(ApplyLogBrush, GradientAndTextureCodesFillNothing) {
    for (uint32_t code : {16u, 17u, 18u, 19u}) {
        SCOPED_TRACE(code);
        QBrush brush;
        LogBrush rec;
        rec.style = code;
        rec.color = 0x00102030;
        ApplyLogBrush(brush, rec);
        EXPECT_EQ(brush.style(), Qt::NoBrush);
        EXPECT_EQ(brush.color(), QColor(0x10, 0x20, 0x30));
    }
}

} // namespace
