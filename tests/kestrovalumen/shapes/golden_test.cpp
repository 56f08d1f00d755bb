// Pixels of a few shapes drawn by Qt's raster engine: coverage and colours.
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/solids.h"
#include "tests/support/hostfixture.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

constexpr QRgb kBackground = 0xFFFF00FF;

class GoldenTest : public HostTest {};

QImage render(CDrawObj& object, int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    object.Draw(&painter);
    painter.end();
    return image;
}

//! Each channel within the tolerance.
::testing::AssertionResult near(QRgb actual, QRgb expected, int tolerance) {
    const int d[3] = {std::abs(qRed(actual) - qRed(expected)),
                      std::abs(qGreen(actual) - qGreen(expected)),
                      std::abs(qBlue(actual) - qBlue(expected))};
    if (d[0] <= tolerance && d[1] <= tolerance && d[2] <= tolerance && qAlpha(actual) == 255) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << std::hex << "0x" << actual << " is not within " << std::dec << tolerance << " of 0x"
           << std::hex << expected;
}

TEST_F(GoldenTest, HorizontalPipeCoversItsBoxAndShadesAcrossIt) {
    CDrawPipe1 pipe;
    pipe.m_rect = Rect32{0, 0, 100, 20};
    pipe.m_bHorizontal = 1;
    pipe.m_logPen.color = 0x000080;
    pipe.m_logBrush.color = 0xFFFF00;
    const QImage image = render(pipe, 120, 40);

    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 120; ++x) {
            const bool inside = x <= 98 && y <= 18;
            EXPECT_EQ(image.pixel(x, y) != kBackground, inside) << x << "," << y;
        }
    }
    for (int x : {0, 50, 98}) {
        EXPECT_TRUE(near(image.pixel(x, 0), 0xFF000080, 20)) << x;
        EXPECT_TRUE(near(image.pixel(x, 9), 0xFFFFFF00, 20)) << x;
        EXPECT_TRUE(near(image.pixel(x, 18), 0xFF000080, 20)) << x;
    }
    // Shading runs from the walls to the middle.
    EXPECT_LT(qRed(image.pixel(50, 3)), qRed(image.pixel(50, 6)));
    EXPECT_GT(qRed(image.pixel(50, 12)), qRed(image.pixel(50, 15)));
}

TEST_F(GoldenTest, RaisedPlaneHasALightAndADarkBevel) {
    CDrawPlane3 plane;
    plane.m_rect = Rect32{0, 0, 50, 30}; // frame (0,0)-(49,28)
    plane.m_bBrush = 1;
    plane.m_logBrush.color = 0x808000;
    const QImage image = render(plane, 60, 40);
    const struct {
        int x, y;
        QRgb colour;
        const char* what;
    } pixels[] = {
        {0, 10, 0xFFE3E3E3, "outer left"},   {10, 0, 0xFFE3E3E3, "outer top"},
        {1, 10, 0xFFFFFFFF, "inner left"},   {10, 1, 0xFFFFFFFF, "inner top"},
        {49, 10, 0xFF696969, "outer right"}, {10, 28, 0xFF696969, "outer bottom"},
        {48, 10, 0xFFA0A0A0, "inner right"}, {10, 27, 0xFFA0A0A0, "inner bottom"},
        {20, 15, 0xFF808000, "fill"},        {2, 2, 0xFF808000, "fill inside the frame"},
        {10, 29, kBackground, "below"},      {50, 10, kBackground, "right of it"},
    };
    for (const auto& p : pixels) {
        EXPECT_EQ(image.pixel(p.x, p.y), p.colour) << p.what;
    }
}

TEST_F(GoldenTest, BallIsLitInTheMiddleAndDarkAtTheRim) {
    CDrawBall3D ball;
    ball.m_rect = Rect32{0, 1, 51, 51}; // box (0,0) 50 by 50, centre (25,25)
    ball.m_logPen.color = 0x0000FF;
    ball.m_logBrush.color = 0xFFC000;
    const QImage image = render(ball, 60, 60);
    EXPECT_TRUE(near(image.pixel(25, 25), 0xFFFFC000, 16));
    for (const QPoint rim : {QPoint(25, 1), QPoint(1, 25), QPoint(48, 25), QPoint(25, 48)}) {
        EXPECT_TRUE(near(image.pixel(rim), 0xFF0000FF, 40)) << rim.x() << "," << rim.y();
    }
    for (const QPoint out : {QPoint(1, 1), QPoint(48, 2), QPoint(55, 25), QPoint(25, 52)}) {
        EXPECT_EQ(image.pixel(out), kBackground) << out.x() << "," << out.y();
    }
}

} // namespace
