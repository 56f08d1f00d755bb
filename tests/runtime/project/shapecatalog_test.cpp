// The drawing classes of a screen: the bytes of their defaults and of named fields, and fields
// that read back into the values they were written from.
#include "runtime/project/shapecatalog.h"

#include "runtime/project/textfields.h"
#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

using namespace kestro;
using projecttest::hex;

namespace {

struct DefaultCase {
    const char* name;
    const char* bytes;
};

// What a class's fields are when the project file leaves them out.
TEST(ShapeCatalog, DefaultsGiveTheseBytes) {
    const DefaultCase cases[] = {
        {"CDrawRect", ""},
        {"CDrawRoundRect", "14 00 00 00 14 00 00 00"},
        {"CDrawArc", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"CDrawPoly", "00 00 00 00 00 00"},
        {"CDrawGuan", "04 00 00 00"},
        {"CDrawPentagon", "1e 00 00 00 00 00 00 00"},
        {"CDrawTrapezoid", "32 00 00 00 00 00 00 00"},
        {"CDrawOctagon", "1e 00 00 00"},
        {"CDrawCube", "46 00 00 00 01 00 00 00 01 00 00 00"},
        {"CDrawPipe1", "01 00 00 00"},
        {"CDrawPipe3", "00 00 0a 00 00 00 0a 00 00 00"},
        {"CDrawBalloon", "00 00 00 00 00 00 00 00 64 00 00 00"},
        {"CDrawCircle3D", "64 00 00 00 00 00 00 00"},
        {"CDrawText", "00 0c 00 00 00 84 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const DefaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ShapeClass* shape = findShapeClass(c.name);
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(hex(shape->layout->encode({})), c.bytes);
    }
}

ShapeValue number(int64_t n) {
    ShapeValue value;
    value.number = n;
    return value;
}

TEST(ShapeCatalog, NamedValuesGoToTheirPlaceInTheStream) {
    const ShapeClass* arc = findShapeClass("CDrawArc");
    // Start pair given, end pair left at 0: the start pair is written second.
    EXPECT_EQ(
        hex(arc->layout->encode({{"startXPercent", number(-50)}, {"startYPercent", number(25)}})),
        "00 00 00 00 00 00 00 00 ce ff ff ff 19 00 00 00");
    const ShapeClass* balloon = findShapeClass("CDrawBalloon");
    EXPECT_EQ(hex(balloon->layout->encode({{"tailPos", number(7)}, {"tailSide", number(3)}})),
              "03 00 00 00 00 00 00 00 07 00 00 00");
    const ShapeClass* poly = findShapeClass("CDrawPoly");
    ShapeValue points;
    points.points = {{1, 2}, {3, 4}};
    ShapeValue count = number(5);
    EXPECT_EQ(hex(poly->layout->encode({{"points", points}, {"pointCount", count}})),
              "05 00 00 00 00 00 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00");
    ShapeValue absent;
    absent.present = false;
    EXPECT_EQ(hex(poly->layout->encode({{"points", points}, {"pointCount", absent}})),
              "02 00 00 00 00 00 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00");
    const ShapeClass* text = findShapeClass("CDrawText");
    ShapeValue caption;
    caption.text = "ok";
    EXPECT_EQ(hex(text->layout->encode({{"text", caption}, {"color", number(0xFF0000)}})),
              "02 6f 6b 0c 00 00 00 84 00 00 00 ff 00 00 00 00 00 00 00");
}

TEST(ShapeCatalog, DecodingGivesEveryFieldBack) {
    for (const ShapeClass& shape : shapeClasses()) {
        SCOPED_TRACE(shape.name);
        ShapeValues values;
        int64_t next = 3;
        for (const ShapeField& field : shape.layout->fields()) {
            ShapeValue value = number(next++);
            if (field.kind == ShapeFieldKind::Points) {
                value.number = 0;
                value.points = {{-1, 1}, {7, 8}, {9, 10}};
            } else if (field.kind == ShapeFieldKind::Text) {
                value.number = 0;
                value.text = "text";
            } else if (field.kind == ShapeFieldKind::OptionalUInt16) {
                value.present = false; // decoding gives the list's own length back
                value.number = 0;
            }
            values[field.name] = value;
        }
        const std::string data = shape.layout->encode(values);
        StreamReader in(data);
        ShapeValues back;
        ASSERT_TRUE(shape.layout->decode(in, &back));
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(back, values);
    }
}

} // namespace
