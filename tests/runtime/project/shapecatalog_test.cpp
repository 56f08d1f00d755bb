// The drawing classes of a screen: every class with its number, its own fields in stream order,
// the bytes of its defaults, and fields that read back into the values they were written from.
#include "runtime/project/shapecatalog.h"

#include "runtime/project/textfields.h"
#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

#include <set>

using namespace kestro;
using projecttest::hex;

namespace {

struct ClassRow {
    const char* name;
    uint32_t number;
    std::vector<std::string> fields; //!< in stream order
};

// The registered classes in registration order, then the host's text class.
const ClassRow kClasses[] = {
    {"CDrawLine", 0x5002, {}},
    {"CDrawArc", 0x5003, {"endXPercent", "endYPercent", "startXPercent", "startYPercent"}},
    {"CDrawRect", 0x5004, {}},
    {"CDrawRoundRect", 0x5005, {"cornerWidth", "cornerHeight"}},
    {"CDrawEllipse", 0x5006, {}},
    {"CDrawPoly", 0x5007, {"pointCount", "polyReserved", "closed", "points"}},
    {"CDrawParallelogram", 0x500A, {"percent", "direction"}},
    {"CDrawTrapezoid", 0x500B, {"percent", "direction"}},
    {"CDrawDiamond", 0x500C, {}},
    {"CDrawOctagon", 0x500D, {"percent"}},
    {"CDrawBalloon", 0x500E, {"tailSide", "tailAtEnd", "tailPos"}},
    {"CDrawCross", 0x500F, {"percent"}},
    {"CDrawCube", 0x5010, {"percent", "frontLeft", "frontBottom"}},
    {"CDrawPentagon", 0x5011, {"percent", "direction"}},
    {"CDrawHexagon", 0x5012, {"percent", "direction"}},
    {"CDrawIsoscelestriangle", 0x5013, {"percent", "direction"}},
    {"CDrawRighttrigngle", 0x5014, {"direction"}},
    {"CDrawStar", 0x5015, {"direction"}},
    {"CDrawSeal", 0x5016, {}},
    {"CDrawGuan", 0x5017, {"pipeWidth", "pointCount", "points"}},
    {"CDrawHalfBox", 0x5018, {"cornerWidth", "cornerHeight", "verticalSplit", "otherHalf"}},
    {"CDrawArrow1", 0x5019, {"percent", "direction"}},
    {"CDrawArrow2", 0x501A, {"percent", "direction"}},
    {"CDrawArrow3", 0x501B, {"direction"}},
    {"CDrawPlane1", 0x501C, {}},
    {"CDrawPlane2", 0x501D, {}},
    {"CDrawPlane3", 0x501E, {}},
    {"CDrawPipe1", 0x501F, {"horizontal"}},
    {"CDrawPipe2", 0x5020, {"horizontal"}},
    {"CDrawPipe3", 0x5021, {"elbowType", "horzThick", "vertThick"}},
    {"CDrawBall3D", 0x5023, {"ballReserved1", "ballReserved2"}},
    {"CDrawCircle3D", 0x5024, {"ringWidth", "circleReserved"}},
    {"CDrawPentagon3D", 0x5022, {"percent", "direction"}},
    {"CDrawText", 0x6001, {"text", "fontSize", "alignment", "color", "bold"}},
};

TEST(ShapeCatalog, HoldsEveryClassWithItsNumberAndFields) {
    const std::vector<ShapeClass>& classes = shapeClasses();
    ASSERT_EQ(classes.size(), std::size(kClasses));
    for (size_t i = 0; i < classes.size(); ++i) {
        SCOPED_TRACE(kClasses[i].name);
        EXPECT_STREQ(classes[i].name, kClasses[i].name);
        EXPECT_EQ(classes[i].number, kClasses[i].number);
        std::vector<std::string> names;
        for (const ShapeField& field : classes[i].layout->fields()) {
            names.push_back(field.name);
        }
        EXPECT_EQ(names, kClasses[i].fields);
        EXPECT_EQ(findShapeClass(kClasses[i].name), &classes[i]);
        EXPECT_EQ(findShapeClass(kClasses[i].number), &classes[i]);
    }
    EXPECT_EQ(findShapeClass("CDrawObj"), nullptr);
    EXPECT_EQ(findShapeClass(0x5008u), nullptr);
    EXPECT_EQ(findShapeClass(0x5037u), nullptr);
}

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
