// Comparing pictures in tests: where two first differ, in words.
#pragma once

#include <QImage>

#include <sstream>
#include <string>

namespace kvtest {

//! "" when the pictures are equal, else the first pixel where they differ and both colours.
inline std::string firstDifference(const QImage& shown, const QImage& full) {
    if (shown == full) {
        return "";
    }
    if (shown.size() != full.size()) {
        return "the sizes differ";
    }
    for (int y = 0; y < full.height(); ++y) {
        for (int x = 0; x < full.width(); ++x) {
            if (shown.pixel(x, y) != full.pixel(x, y)) {
                std::ostringstream out;
                out << "pixel (" << x << ", " << y << ") is " << std::hex << shown.pixel(x, y)
                    << ", the full repaint has " << full.pixel(x, y);
                return out.str();
            }
        }
    }
    return "the formats differ";
}

} // namespace kvtest
