// ctest-link: kvimgdiffcore
// The golden-image comparison of the install check.
#include "tools/kvimgdiff/imagediff.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

namespace {

QImage canvas(QImage::Format format = QImage::Format_ARGB32) {
    QImage image(4, 3, format);
    image.fill(QColor(100, 150, 200));
    return image;
}

TEST(ImageDiff, CountsPixelsBeyondTheTolerance) {
    const struct {
        std::vector<std::pair<QPoint, QRgb>> changes;
        int tolerance, differing, largestDelta;
        QPoint first;
    } cases[] = {
        {{}, 0, 0, 0, {-1, -1}},
        {{{{2, 1}, qRgb(101, 150, 200)}}, 0, 1, 1, {2, 1}},
        {{{{2, 1}, qRgb(103, 150, 198)}}, 3, 0, 3, {-1, -1}},
        {{{{2, 1}, qRgb(100, 146, 200)}}, 3, 1, 4, {2, 1}},
        {{{{0, 2}, qRgb(100, 150, 0)}}, 10, 1, 200, {0, 2}},
        {{{{3, 0}, qRgba(100, 150, 200, 0)}}, 10, 1, 255, {3, 0}},
        {{{{0, 2}, qRgb(0, 0, 0)}, {{3, 1}, qRgb(0, 0, 0)}}, 0, 2, 200, {3, 1}}, // row order
    };
    for (const auto& c : cases) {
        QImage actual = canvas();
        for (const auto& [at, color] : c.changes) {
            actual.setPixel(at, color);
        }
        const kestro::ImageDiff diff = kestro::compareImages(canvas(), actual, c.tolerance);
        EXPECT_TRUE(diff.sameSize);
        EXPECT_EQ(diff.differing, c.differing);
        EXPECT_EQ(diff.largestDelta, c.largestDelta);
        EXPECT_EQ(diff.first, c.first);
        EXPECT_TRUE(c.differing == 0 || diff.marked.pixel(c.first) == qRgb(255, 0, 0));
    }
    // The same colours in another format match; another size or no picture never does.
    const kestro::ImageDiff formats =
        kestro::compareImages(canvas(), canvas(QImage::Format_RGB32), 0);
    EXPECT_TRUE(formats.sameSize && formats.differing == 0);
    EXPECT_FALSE(kestro::compareImages(canvas(), canvas().scaled(4, 4), 0).sameSize);
    EXPECT_FALSE(kestro::compareImages(canvas(), canvas().copy(0, 0, 3, 3), 255).sameSize);
    EXPECT_FALSE(kestro::compareImages(QImage(), QImage(), 0).sameSize);
}

} // namespace
