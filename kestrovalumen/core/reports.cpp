// The table of every report of the module.
#include "kestrovalumen/core/reports.h"

#include <string>

namespace kv {

void EmitNullPainter(const ShapeInfo& shape) {
    const std::string message = std::string(shape.name) + " painter is NULL!";
    Emit({shape.drawCode,
          message.c_str(),
          {"Draw", "kestrovalumen", shape.drawLine, 2, shape.name},
          message.c_str()});
}

void EmitBaseRecordFailure(const ShapeInfo& shape) {
    const std::string message = std::string(shape.name) + " CDrawObj Serialize error!";
    Emit({shape.loadCode,
          message.c_str(),
          {"deserialize", "kestrovalumen", shape.loadLine, 2, shape.name},
          message.c_str()});
}

namespace report {

namespace {

//! A monitor line only.
constexpr Report Fault(int code, const char* message) {
    return {code, message, {nullptr, nullptr, 0, 0, nullptr}, nullptr};
}

//! A log line only.
constexpr Report Log(LogSite site, const char* format) {
    return {0, nullptr, site, format};
}

//! A failed evaluation of an animation's expression: function "Run", level 2.
constexpr Report Run(int code, const char* message, const char* file, int line, const char* tag,
                     const char* text) {
    return {code, message, {"Run", file, line, 2, tag}, text};
}

constexpr char kOutputFile[] = "animation\\anioutput";
constexpr char kClickFile[] = "animation\\aniclick";

} // namespace

const Report kEventAllocation{1,
                              "Create m_arrayEvent obj is fail",
                              {"deserialize", "drawobj", 985, 1, "Drawobj Create Event is error"},
                              "%d"};
const Report kAnimationType{
    2,
    "Create Animation obj is fail",
    {"deserialize", "drawobj", 1020, 1, "Drawobj Create animation property is error"},
    "%u"};
const Report kAnimationRecord{3,
                              "m_arrayAnimate Serialize is fail",
                              {"deserialize", "drawobj", 1032, 1, "DrawObj"},
                              "animation serialize is error"};
const Report kGetPropNull{5,
                          "SvrGetProp para is null!",
                          {"SvrGetProp", "drawobj", 332, 1, "CDrawObj::SvrGetProp"},
                          "The para is null!"};
const Report kSetPropNull{4,
                          "SvrSetProp para is null!",
                          {"SvrSetProp", "drawobj", 148, 1, "CDrawObj::SvrSetProp"},
                          "The para is null!"};
const Report kGetPropUnknown =
    Log({"SvrGetProp", "drawobj", 407, 2, "DrawObj"}, "%u,此属性不是构件的公共属性");
const Report kSetPropUnknown =
    Log({"SvrSetProp", "drawobj", 314, 2, "DrawObj"}, "%u,此属性不是构件的公共属性");
const Report kMulDivByZero =
    Log({"MulDiv", "vornDrawPubInter", 52, 2, "DrawObj", 4}, "height = %d");
const Report kDrawEdgeUnknown =
    Log({"DrawEdge", "vornDrawPubInter", 172, 4, "DrawObj"}, "nEdge = %u");

// clang-format off
//                               class                     draw line   load line
const ShapeInfo kLine              {"CDrawLine",              153, 19,   152, 19};
const ShapeInfo kRect              {"CDrawRect",              154, 20,   0,   0};
const ShapeInfo kRoundRect         {"CDrawRoundRect",         156, 21,   155, 21};
const ShapeInfo kEllipse           {"CDrawEllipse",           159, 22,   0,   0};
const ShapeInfo kArc               {"CDrawArc",               167, 23,   166, 23};
const ShapeInfo kPoly              {"CDrawPoly",              149, 1822, 147, 1760};
const ShapeInfo kGuan              {"CDrawGuan",              208, 5268, 207, 5221};
const ShapeInfo kParallelogram     {"CDrawParallelogram",     169, 51,   168, 51};
const ShapeInfo kTrapezoid         {"CDrawTrapezoid",         171, 52,   170, 52};
const ShapeInfo kDiamond           {"CDrawDiamond",           172, 53,   0,   0};
const ShapeInfo kOctagon           {"CDrawOctagon",           174, 54,   173, 54};
const ShapeInfo kCross             {"CDrawCross",             178, 55,   177, 55};
const ShapeInfo kPentagon          {"CDrawPentagon",          182, 56,   181, 56};
const ShapeInfo kHexagon           {"CDrawHexagon",           184, 57,   183, 57};
const ShapeInfo kIsoscelesTriangle {"CDrawIsoscelestriangle", 186, 58,   185, 58};
const ShapeInfo kRightTriangle     {"CDrawRighttrigngle",     188, 59,   187, 59};
const ShapeInfo kStar              {"CDrawStar",              190, 60,   189, 60};
const ShapeInfo kSeal              {"CDrawSeal",              191, 61,   0,   0};
const ShapeInfo kArrow1            {"CDrawArrow1",            193, 62,   192, 62};
const ShapeInfo kArrow2            {"CDrawArrow2",            195, 63,   194, 63};
const ShapeInfo kArrow3            {"CDrawArrow3",            197, 64,   196, 64};
const ShapeInfo kHalfBox           {"CDrawHalfBox",           158, 2492, 157, 2453};
const ShapeInfo kBall3D            {"CDrawBall3D",            161, 2618, 160, 2583};
const ShapeInfo kCircle3D          {"CDrawCircle3D",          163, 2747, 162, 2712};
const ShapeInfo kPentagon3D        {"CDrawPentagon3D",        165, 2901, 164, 2866};
const ShapeInfo kCube              {"CDrawCube",              180, 3795, 179, 3757};
const ShapeInfo kBalloon           {"CDrawBalloon",           176, 2335, 175, 2302};
const ShapeInfo kPlane1            {"CDrawPlane1",            198, 4651, 0,   0};
const ShapeInfo kPlane2            {"CDrawPlane2",            199, 4724, 0,   0};
const ShapeInfo kPlane3            {"CDrawPlane3",            200, 4797, 0,   0};
const ShapeInfo kPipe1             {"CDrawPipe1",             202, 4898, 201, 4874};
const ShapeInfo kPipe2             {"CDrawPipe2",             204, 5013, 203, 4990};
const ShapeInfo kPipe3             {"CDrawPipe3",             206, 5146, 205, 5109};
const ShapeInfo kText              {"CDrawText",              300, 18,   301, 18};
// clang-format on
const Report kPolyTooFewPoints =
    Log({"Draw", "kestrovalumen", 1840, 2, "CDrawPoly"}, "CDrawPoly point count is too less!");

const Report kBlinkHeader = Fault(10, "CAniBlink flag非法");
const Report kBlinkRun = Run(12, "CAniBlink expressFloat run error!", "animation\\aniblink", 132,
                             "CAniBlink", "CAniBlink ExpressFloat errorCode!");
const Report kBrushHeader = Fault(13, "CAniBrush flag非法");
const Report kBrushAttach = Fault(14, "CAniBrush::InitObj failed！para is null!");
// This log line carries its message in the tag position.
const Report kBrushRun = Run(15, "CAnibrush expressFloat run error", "animation\\anibrush", 112,
                             "CAnibrush ExpressFloat errorCod", "erro!");
const Report kClickHeader = Fault(16, "CAniClick flag非法");
const Report kHMoveHeader = Fault(17, "CAniHMove flag非法");
const Report kHMoveAttach = Fault(18, "CAniHMove::InitObj failed！para is null!");
const Report kHMoveRun = Run(19, "CAniHMove expressFloat run error", "animation\\anihmove", 98,
                             "CAniHMove ExpressFloat errorCod", "error");
const Report kInputHeader = Fault(20, "CAniInput flag非法");
const Report kOutputHeader = Fault(21, "CAniOutput flag非法");
const Report kOutputAttach = Fault(22, "CAniOutput::InitObj failed！para is null!");
const Report kPenHeader = Fault(23, "CAniPen flag非法");
const Report kPenAttach = Fault(24, "CAniPen::InitObj failed！para is null!");
const Report kPenRun = Run(25, "CAniPen expressFloat run error", "animation\\anipen", 114,
                           "CAniPen", "CAniPen ExpressFloat errorCode");
const Report kSizeHeader = Fault(26, "CAniSize flag非法");
const Report kSizeAttach = Fault(27, "CAniSize::InitObj failed！para is null!");
const Report kSizeRun = Run(28, "CAniSize expressFloat run error", "animation\\anisize", 115,
                            "CAniSize", "CAniSize ExpressFloat error");
const Report kTextColorHeader = Fault(29, "CAniTextColor flag非法");
const Report kVisibleHeader = Fault(30, "CAniVisible flag非法");
const Report kVisibleRun = Run(32, "CAniVisible expressFloat run error", "animation\\anivisible",
                               58, "CAniVisible", "CAniVisible ExpressFloat error");
const Report kVisibleAttach = Fault(33, "CAniVisible::InitObj failed！para is null!");
const Report kVMoveHeader = Fault(34, "CAniVMove flag非法");
const Report kVMoveAttach = Fault(35, "CAniVMove::InitObj failed！para is null!");
const Report kVMoveRun = Run(36, "CAniVMove expressFloat run error", "animation\\anivmove", 94,
                             "CAniVMove", "CAniVMove ExpressFloat error");
const Report kOutputSwitchRun =
    Run(41, "CAniOutput--script_SvrRunExpressFloat retrun error!", kOutputFile, 212, "CAniOutput",
        "script_SvrRunExpressFloat retrun error!");
const Report kOutputIntegerRun =
    Run(42, "CAniOutput--script_SvrRunExpressInt retrun error!", kOutputFile, 226, "CAniOutput",
        "script_SvrRunExpressInt retrun error!");
const Report kOutputNumberRun =
    Run(43, "CAniOutput--script_SvrRunExpressFloat retrun error!", kOutputFile, 251, "CAniOutput",
        "script_SvrRunExpressFloat retrun error!");
const Report kOutputStringRun =
    Run(44, "CAniOutput--script_SvrRunExpressStr retrun error!", kOutputFile, 318, "CAniOutput",
        "script_SvrRunExpressStr retrun error!");
const Report kTextColorAttach = Fault(45, "CAniTextColor::InitObj failed！para is null!");
const Report kTextColorRun =
    Run(46, "CAniTextColor--script_SvrRunExpressFloat retrun error!", "animation\\anitextcolor",
        117, "CAniTextColor", "script_SvrRunExpressFloat retrun error!");

const Report kClickStrategy = Log({"Run", kClickFile, 121, 4, "Caiclick stgy"}, "%d");
const Report kClickOpenWindow = Log({"Run", kClickFile, 130, 4, "Caiclick open window"}, "%d");
const Report kClickExit = Log({"Run", kClickFile, 149, 4, "Caiclick exit sys"}, "%d");
const Report kClickCloseWindow = Log({"Run", kClickFile, 190, 4, "Caniclick close window"}, "%d");

const Report kInputLimit = Log({"Run", "animation\\aniinput", 169, 1, "CDrawEdit"},
                               "script_SvrRunExpressFloat return erro!");
const Report kInputSwitchKeyboard = Fault(37, "打开开关型键盘失败！");
const Report kInputStringKeyboard = Fault(40, "打开字符型键盘失败！");
const Report kInputHexKeyboard = Fault(38, "打开十六进制键盘失败！");
const Report kInputIntegerKeyboard = Fault(38, "打开整型键盘失败！");
const Report kInputNumberKeyboard = Fault(39, "打开数值型键盘失败！");

} // namespace report

} // namespace kv
