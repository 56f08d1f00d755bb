// The host's one door into the drawing objects of our plug-ins: which plug-ins they come from,
// and what the host reads of them.
//
// Every plug-in whose identifier begins with "vorn_" is built on the module's drawing-object base
// CDrawObj, compiled from the same header, so every object it creates derives from it. The
// class registry's type tests cannot tell: CDrawObj's descriptor is never registered, and three
// of the module's classes do not even admit to draw_object_c. So a plug-in's identity is checked
// once, when it is loaded (LoadedPlugin::sharesDrawObjBase), and only objects of such plug-ins are
// created and read.
#pragma once

#include <cstdint>
#include <string>

class draw_object_c;
struct DrawObjView;

namespace kestro {

struct ObjectState;

//! True for the identifier of a plug-in built on CDrawObj.
bool sharesDrawObjBase(const std::string& identifier);

//! Fills the rectangle, show state, outline, fill, clip and text of the state from the object's
//! CDrawObj::View. Only for objects of plug-ins that share the base.
void readDrawObjState(draw_object_c* object, ObjectState* state);

//! The object's CDrawObj::View into view, reusing the view's text storage. Only for objects of
//! plug-ins that share the base.
void readDrawObjView(draw_object_c* object, DrawObjView* view);

//! True when the object answers an operator's click: it holds a click or a value input
//! animation. Only for objects of plug-ins that share the base.
bool takesClicks(const draw_object_c* object);

//! Where a program of an object lives: which animation holds it, and whether it is the
//! animation's expression or one of a value input's limits.
struct ProgramPlace {
    enum Slot { Expression, Upper, Lower };
    int animation = -1; //!< index in the object's animation list; -1 when none holds it
    uint32_t type = 0;  //!< the animation's type number
    Slot slot = Expression;
};

//! The animation of the object whose program buffer holds these very bytes (by address: each
//! animation runs its own buffer). Only for objects of plug-ins that share the base.
ProgramPlace findProgram(const draw_object_c* object, const unsigned char* program);

} // namespace kestro
