// The module's 33 shape classes, written once: registration order, class number, name, and
// which root descriptors a class answers to besides CDrawObj and itself (WithInterface adds
// draw_object_c). The class name is also the class's name in project files. Header-only and free
// of module types, so that the host may list the same classes without linking the module.
#pragma once

#include <cstddef>
#include <cstdint>

// X(Class, number, recognition), in registration order (the last three are not in number order).
// CDrawSeal, CDrawBalloon and CDrawGuan answer to no draw_object_c; CDrawGuan, although derived
// from CDrawPoly, does not answer to CDrawPoly either.
#define KV_SHAPE_CLASSES(X)                                                                        \
    X(CDrawLine, 0x5002, WithInterface)                                                            \
    X(CDrawArc, 0x5003, WithInterface)                                                             \
    X(CDrawRect, 0x5004, WithInterface)                                                            \
    X(CDrawRoundRect, 0x5005, WithInterface)                                                       \
    X(CDrawEllipse, 0x5006, WithInterface)                                                         \
    X(CDrawPoly, 0x5007, WithInterface)                                                            \
    X(CDrawParallelogram, 0x500A, WithInterface)                                                   \
    X(CDrawTrapezoid, 0x500B, WithInterface)                                                       \
    X(CDrawDiamond, 0x500C, WithInterface)                                                         \
    X(CDrawOctagon, 0x500D, WithInterface)                                                         \
    X(CDrawBalloon, 0x500E, WithoutInterface)                                                      \
    X(CDrawCross, 0x500F, WithInterface)                                                           \
    X(CDrawCube, 0x5010, WithInterface)                                                            \
    X(CDrawPentagon, 0x5011, WithInterface)                                                        \
    X(CDrawHexagon, 0x5012, WithInterface)                                                         \
    X(CDrawIsoscelestriangle, 0x5013, WithInterface)                                               \
    X(CDrawRighttrigngle, 0x5014, WithInterface)                                                   \
    X(CDrawStar, 0x5015, WithInterface)                                                            \
    X(CDrawSeal, 0x5016, WithoutInterface)                                                         \
    X(CDrawGuan, 0x5017, WithoutInterface)                                                         \
    X(CDrawHalfBox, 0x5018, WithInterface)                                                         \
    X(CDrawArrow1, 0x5019, WithInterface)                                                          \
    X(CDrawArrow2, 0x501A, WithInterface)                                                          \
    X(CDrawArrow3, 0x501B, WithInterface)                                                          \
    X(CDrawPlane1, 0x501C, WithInterface)                                                          \
    X(CDrawPlane2, 0x501D, WithInterface)                                                          \
    X(CDrawPlane3, 0x501E, WithInterface)                                                          \
    X(CDrawPipe1, 0x501F, WithInterface)                                                           \
    X(CDrawPipe2, 0x5020, WithInterface)                                                           \
    X(CDrawPipe3, 0x5021, WithInterface)                                                           \
    X(CDrawBall3D, 0x5023, WithInterface)                                                          \
    X(CDrawCircle3D, 0x5024, WithInterface)                                                        \
    X(CDrawPentagon3D, 0x5022, WithInterface)

namespace kv {

//! One shape class by number and name.
struct ShapeClassEntry {
    uint32_t number;
    const char* name;
};

#define KV_SHAPE_CLASS_ENTRY(Class, Number, Recognition) {Number, #Class},
//! The shape classes in registration order.
inline constexpr ShapeClassEntry kShapeClassTable[] = {KV_SHAPE_CLASSES(KV_SHAPE_CLASS_ENTRY)};
#undef KV_SHAPE_CLASS_ENTRY

inline constexpr std::size_t kShapeClassCount =
    sizeof kShapeClassTable / sizeof kShapeClassTable[0];
static_assert(kShapeClassCount == 33, "the module registers 33 shape classes");

} // namespace kv
