// Pixel comparison of two pictures, channel by channel (alpha included).
#pragma once

#include <QImage>
#include <QPoint>

namespace kestro {

struct ImageDiff {
    bool sameSize = false;
    int differing = 0;    //!< pixels with a channel further apart than the tolerance
    int largestDelta = 0; //!< over every pixel, within the tolerance or not
    QPoint first{-1, -1}; //!< the first differing pixel in row order
    QImage marked;        //!< the actual picture faded, differing pixels in red
};

//! Compares actual with expected; a channel may be off by tolerance without the pixel counting.
ImageDiff compareImages(const QImage& expected, const QImage& actual, int tolerance);

} // namespace kestro
