// ctest-label: runtime
// Encoders of the shapes' own record fields: byte layout and order of every record form.
#include "runtime/shaperecords.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace kestro;

std::string bytes(std::initializer_list<unsigned char> list) {
    return std::string(list.begin(), list.end());
}

TEST(ShapeRecords, ClassesWithoutFieldsWriteNothing) {
    EXPECT_EQ(encodeFields(DrawRectFields{}), "");
    EXPECT_EQ(encodeFields(DrawLineFields{}), "");
    EXPECT_EQ(encodeFields(DrawPlane3Fields{}), "");
}

TEST(ShapeRecords, Int32FieldsInStreamOrder) {
    struct Case {
        const char* name;
        std::string encoded;
        std::string expected;
    };
    const Case cases[] = {
        {"round rect", encodeFields(RoundRectFields{21, -10}),
         bytes({21, 0, 0, 0, 0xF6, 0xFF, 0xFF, 0xFF})},
        // The end pair comes first.
        {"arc", encodeFields(ArcFields{1, 2, 3, 4}),
         bytes({3, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0})},
        {"percent and direction", encodeFields(PercentDirectionFields{0x12345678, 3}),
         bytes({0x78, 0x56, 0x34, 0x12, 3, 0, 0, 0})},
        {"percent", encodeFields(PercentFields{100}), bytes({100, 0, 0, 0})},
        {"direction", encodeFields(DirectionFields{-1}), bytes({0xFF, 0xFF, 0xFF, 0xFF})},
        {"half box", encodeFields(HalfBoxFields{1, 2, 3, 4}),
         bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0})},
        {"ball", encodeFields(Ball3DFields{5, 6}), bytes({5, 0, 0, 0, 6, 0, 0, 0})},
        {"ring", encodeFields(Circle3DFields{250, 7}), bytes({250, 0, 0, 0, 7, 0, 0, 0})},
        {"cube", encodeFields(CubeFields{30, 1, 0}), bytes({30, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0})},
        {"pipe", encodeFields(PipeFields{1}), bytes({1, 0, 0, 0})},
        // Side, at-end flag, position: not the declaration order of the class.
        {"balloon", encodeFields(BalloonFields{3, 1, 100}),
         bytes({3, 0, 0, 0, 1, 0, 0, 0, 100, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.encoded, c.expected);
    }
}

TEST(ShapeRecords, ElbowStartsWithASixteenBitType) {
    Pipe3Fields elbow;
    elbow.elbowType = 2;
    elbow.horzThick = 10;
    elbow.vertThick = 0x01020304;
    EXPECT_EQ(encodeFields(elbow), bytes({2, 0, 10, 0, 0, 0, 4, 3, 2, 1}));
}

TEST(ShapeRecords, PolylineCountFlagsThenVertices) {
    PolyFields poly;
    poly.reserved = 0xBEEF;
    poly.closed = 1;
    poly.points = {{1, -2}, {300, 4}};
    EXPECT_EQ(encodeFields(poly), bytes({2,    0,    0xEF, 0xBE, 1, 0, 1, 0, 0, 0, 0xFE,
                                         0xFF, 0xFF, 0xFF, 0x2C, 1, 0, 0, 4, 0, 0, 0}));
    // A count that does not match the vertices, for damaged records.
    poly.pointCount = 0xFFFF;
    poly.points.clear();
    EXPECT_EQ(encodeFields(poly), bytes({0xFF, 0xFF, 0xEF, 0xBE, 1, 0}));
}

TEST(ShapeRecords, BandWidthCountThenPath) {
    GuanFields band;
    band.pipeWidth = 6;
    band.path = {{3, 4}};
    EXPECT_EQ(encodeFields(band), bytes({6, 0, 1, 0, 3, 0, 0, 0, 4, 0, 0, 0}));
    band.pointCount = 9;
    EXPECT_EQ(encodeFields(band).substr(0, 4), bytes({6, 0, 9, 0}));
}

} // namespace
