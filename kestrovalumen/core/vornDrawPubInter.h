// Shared drawing and arithmetic helpers of the module.
#pragma once

#include <cstdint>

class QPainter;
class QPen;
class QBrush;

//! A rectangle in screen pixels; right and bottom are exclusive.
struct Rect32 {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool operator==(const Rect32& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const Rect32& o) const { return !(*this == o); }
};

//! Stored outline record. Width y is carried but never drawn.
struct LogPen {
    uint32_t style = 0;
    int32_t widthX = 0;
    int32_t widthY = 0;
    uint32_t color = 0; // 0x00RRGGBB
};

//! Stored fill record. The hatch word is carried but never drawn.
struct LogBrush {
    uint32_t style = 0;
    uint32_t color = 0; // 0x00RRGGBB
    uint32_t hatch = 0;
};

//! Stored colours are 0x00BBGGRR; exchanges the lowest and the third byte.
constexpr uint32_t ColorRefToRgb(uint32_t c) {
    return (c & 0xFF00FF00u) | ((c >> 16) & 0xFFu) | ((c & 0xFFu) << 16);
}

//! a * b / c rounded half away from zero; -1 (and a log line) for a zero divisor.
int MulDiv(int a, int b, int c);

//! Pen style, width and colour from an outline record; cap and join are left alone.
void ApplyLogPen(QPen& pen, const LogPen& rec);
//! Brush style and colour from a fill record.
void ApplyLogBrush(QBrush& brush, const LogBrush& rec);
//! Two-pixel bevelled frame on inclusive corners in style 5 to 8; false for any other style.
bool DrawEdge(QPainter* painter, int left, int top, int right, int bottom, unsigned nEdge);
