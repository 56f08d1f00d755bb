// ctest-link: kvimgdiffcore
// The golden-image comparison of the install check: what counts as a difference, where the first
// one is, and pictures of other sizes or formats.
#include "tools/kvimgdiff/imagediff.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <vector>

using kestro::compareImages;
using kestro::ImageDiff;

namespace {

QImage canvas(QImage::Format format = QImage::Format_ARGB32) {
    QImage image(4, 3, format);
    image.fill(QColor(100, 150, 200));
    return image;
}

TEST(ImageDiff, CountsPixelsBeyondTheTolerance) {
    struct Pixel {
        QPoint at;
        QRgb color;
    };
    const struct {
        const char* what;
        std::vector<Pixel> changes;
        int tolerance, differing, largestDelta;
        QPoint first;
    } cases[] = {
        {"identical", {}, 0, 0, 0, {-1, -1}},
        {"one channel off by one", {{{2, 1}, qRgb(101, 150, 200)}}, 0, 1, 1, {2, 1}},
        {"within the tolerance", {{{2, 1}, qRgb(103, 150, 198)}}, 3, 0, 3, {-1, -1}},
        {"just beyond it", {{{2, 1}, qRgb(100, 146, 200)}}, 3, 1, 4, {2, 1}},
        {"blue alone", {{{0, 2}, qRgb(100, 150, 0)}}, 10, 1, 200, {0, 2}},
        {"alpha alone", {{{3, 0}, qRgba(100, 150, 200, 0)}}, 10, 1, 255, {3, 0}},
        {"first in row order",
         {{{0, 2}, qRgb(0, 0, 0)}, {{3, 1}, qRgb(0, 0, 0)}},
         0,
         2,
         200,
         {3, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QImage actual = canvas();
        for (const Pixel& p : c.changes) {
            actual.setPixel(p.at, p.color);
        }
        const ImageDiff diff = compareImages(canvas(), actual, c.tolerance);
        EXPECT_TRUE(diff.sameSize);
        EXPECT_EQ(diff.differing, c.differing);
        EXPECT_EQ(diff.largestDelta, c.largestDelta);
        EXPECT_EQ(diff.first, c.first);
        if (c.differing > 0) {
            EXPECT_EQ(diff.marked.pixel(c.first), qRgb(255, 0, 0));
        }
    }
}

TEST(ImageDiff, SizesAndFormats) {
    // The same colours in another format match; another size or no picture never does.
    const ImageDiff formats = compareImages(canvas(), canvas(QImage::Format_RGB32), 0);
    EXPECT_TRUE(formats.sameSize);
    EXPECT_EQ(formats.differing, 0);
    EXPECT_FALSE(compareImages(canvas(), canvas().scaled(4, 4), 0).sameSize);
    EXPECT_FALSE(compareImages(canvas(), canvas().copy(0, 0, 3, 3), 255).sameSize);
    EXPECT_FALSE(compareImages(QImage(), QImage(), 0).sameSize);
}

} // namespace
