// Every report the module makes, in one table (reports.cpp), and the one way of making them: the
// monitor line monitor_report(10, code, message, 1), then the log line logger_printf(10,
// function, file, line, flags, level, tag, format, arguments...).
//
// A report's line is a fixed number of the table, part of the report's identity like its code:
// never the position of a call, so that moving code changes no report.
#pragma once

#include "kestrovalumen/host/logger.h"

namespace kv {

//! Module number passed with every report.
constexpr int kModule = 10;

//! Where a log line comes from.
struct LogSite {
    const char* function; //!< nullptr: the report has no log line
    const char* file;     //!< source file name without extension, "animation\\..." for animations
    int line;
    int level; //!< 1 load and argument failures, 2 drawing and evaluation, 4 action traces
    const char* tag;
    int flags = 0;
};

//! One report of the module.
struct Report {
    int code;            //!< monitor code; 0: the report has no monitor line
    const char* message; //!< monitor text
    LogSite site;
    const char* format; //!< log format; its arguments come with the call
};

//! A shape's two reports: a null painter ("Draw") and a failed base record ("deserialize"),
//! both in file "kestrovalumen", level 2, the class name as tag, and as text and format the
//! class name followed by " painter is NULL!" or " CDrawObj Serialize error!".
struct ShapeInfo {
    const char* name;
    int drawCode; //!< monitor code of a null painter
    int drawLine;
    int loadCode; //!< monitor code of a failed base record (0: the class has none)
    int loadLine;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

//! Makes the report: its monitor line, if any, then its log line, if any, with the arguments.
template <class... Args>
void Emit(const Report& report, Args... args) {
    if (report.code != 0) {
        monitor_report(kModule, report.code, report.message, 1);
    }
    const LogSite& site = report.site;
    if (site.function != nullptr) {
        logger_printf(kModule, site.function, site.file, site.line, site.flags, site.level,
                      site.tag, report.format, args...);
    }
}

#pragma GCC diagnostic pop

//! The two reports of a shape class (text built from the class name).
void EmitNullPainter(const ShapeInfo& shape);
void EmitBaseRecordFailure(const ShapeInfo& shape);

namespace report {

// Drawing-object base: record loader, properties, shared helpers.
extern const Report kEventAllocation;
extern const Report kAnimationType;
extern const Report kAnimationRecord;
extern const Report kGetPropNull;
extern const Report kSetPropNull;
extern const Report kGetPropUnknown;
extern const Report kSetPropUnknown;
extern const Report kMulDivByZero;
extern const Report kDrawEdgeUnknown;

// Shapes.
extern const ShapeInfo kLine, kRect, kRoundRect, kEllipse, kArc;
extern const ShapeInfo kPoly, kGuan;
extern const ShapeInfo kParallelogram, kTrapezoid, kDiamond, kOctagon, kCross, kPentagon, kHexagon,
    kIsoscelesTriangle, kRightTriangle, kStar, kSeal, kArrow1, kArrow2, kArrow3;
extern const ShapeInfo kHalfBox, kBall3D, kCircle3D, kPentagon3D, kCube;
extern const ShapeInfo kBalloon, kPlane1, kPlane2, kPlane3, kPipe1, kPipe2, kPipe3;
extern const ShapeInfo kText;
extern const Report kPolyTooFewPoints;

// Animations: a record header that fails to load, a missing owner, a failed evaluation.
extern const Report kBlinkHeader, kBlinkRun;
extern const Report kBrushHeader, kBrushAttach, kBrushRun;
extern const Report kClickHeader;
extern const Report kHMoveHeader, kHMoveAttach, kHMoveRun;
extern const Report kInputHeader;
extern const Report kOutputHeader, kOutputAttach;
extern const Report kOutputSwitchRun, kOutputIntegerRun, kOutputNumberRun, kOutputStringRun;
extern const Report kPenHeader, kPenAttach, kPenRun;
extern const Report kSizeHeader, kSizeAttach, kSizeRun;
extern const Report kTextColorHeader, kTextColorAttach, kTextColorRun;
extern const Report kVisibleHeader, kVisibleAttach, kVisibleRun;
extern const Report kVMoveHeader, kVMoveAttach, kVMoveRun;

// Click actions: traces of the flag of the slot acted on ("%d").
extern const Report kClickStrategy, kClickOpenWindow, kClickExit, kClickCloseWindow;

// Value input: a failed limit expression, keyboards that do not open.
extern const Report kInputLimit;
extern const Report kInputSwitchKeyboard, kInputStringKeyboard, kInputHexKeyboard,
    kInputIntegerKeyboard, kInputNumberKeyboard;

} // namespace report

} // namespace kv
