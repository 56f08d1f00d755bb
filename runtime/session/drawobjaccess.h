// Reading a drawing object of our plug-ins through the base they share, CDrawObj.
#pragma once

class draw_object_c;

namespace kestro {

struct ObjectState;

//! Fills the rectangle, show state, outline, fill, clip and text of the state from the object's
//! CDrawObj base. Only for objects of our own plug-ins, which all derive from it.
void readDrawObjState(draw_object_c* object, ObjectState* state);

} // namespace kestro
