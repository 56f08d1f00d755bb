#include "tools/kvimgdiff/imagediff.h"

#include <QColor>

#include <algorithm>
#include <cstdlib>

namespace kestro {

namespace {

int channelDelta(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

} // namespace

ImageDiff compareImages(const QImage& expected, const QImage& actual, int tolerance) {
    ImageDiff diff;
    diff.sameSize = !expected.isNull() && expected.size() == actual.size();
    if (!diff.sameSize) {
        return diff;
    }
    // One format for both, so that a palette or a missing alpha channel compares by colour.
    const QImage a = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage b = actual.convertToFormat(QImage::Format_ARGB32);
    diff.marked = b;
    for (int y = 0; y < b.height(); ++y) {
        const QRgb* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        QRgb* marked = reinterpret_cast<QRgb*>(diff.marked.scanLine(y));
        for (int x = 0; x < b.width(); ++x) {
            const int delta = channelDelta(rowA[x], rowB[x]);
            diff.largestDelta = std::max(diff.largestDelta, delta);
            if (delta > tolerance) {
                if (diff.differing++ == 0) {
                    diff.first = QPoint(x, y);
                }
                marked[x] = qRgb(255, 0, 0);
            } else {
                const int grey = 192 + qGray(rowB[x]) / 4;
                marked[x] = qRgb(grey, grey, grey);
            }
        }
    }
    return diff;
}

} // namespace kestro
