// A window of a loaded project as the session holds it, and the stack of the windows shown.
#pragma once

#include "runtime/project/project.h"

#include <cstdint>
#include <string>
#include <vector>

class draw_object_c;

namespace kestro {

class CallRecorder;

//! A drawing object the session owns: created through its class and loaded from its record.
struct LoadedObject {
    draw_object_c* object = nullptr;
    uint32_t classNumber = 0;
    std::string className;
    int index = 0;        //!< position of its record in the window's list
    uint64_t changes = 0; //!< runs that reported a change
    //! The sources of its programs, as the project gave them (for reports).
    std::vector<std::string> expressions;
    std::vector<LimitSource> limits;

    //! The source of an animation's expression (slot 0) or of a value input's upper (1) or lower
    //! (2) limit; "" where the project gave none.
    std::string programSource(int animation, int slot) const;
};

struct LoadedWindow {
    int number = 0;
    std::string name;
    int width = 0;
    int height = 0;
    uint32_t background = 0xFFFFFF;
    //! The objects that loaded, in list order: the painting order, the last one on top. The
    //! list never changes after loading.
    std::vector<LoadedObject> objects;
    //! Per object of the list a bit, set when its Run reports a change; the damage tracker
    //! clears them as it looks (sessiondamage.h).
    std::vector<uint64_t> reported;

    //! Sets the object's bit; the object is one of the list.
    void noteReported(const LoadedObject& object);
};

//! The object's name; "" when it has none.
std::string objectName(const LoadedObject& object);

//! Run(code) on one object, counting a reported change. An exception that leaves it is recorded
//! as a fault and taken as a reported change; the caller carries on.
void runObject(LoadedWindow& window, LoadedObject& object, int code, CallRecorder& recorder);

//! The windows shown, from the bottom to the current one at the top.
class WindowStack {
public:
    //! -1 while the stack is empty.
    int current() const { return m_numbers.empty() ? -1 : m_numbers.back(); }
    const std::vector<int>& numbers() const { return m_numbers; }

    //! Brings the window to the top, pushing it if it is not on the stack. True when it became
    //! current: opening the current window again changes nothing.
    bool open(int number);
    //! Takes the window off the stack, unless it is the last one there (which stays shown). True
    //! when the current window changed.
    bool close(int number);

private:
    std::vector<int> m_numbers;
};

} // namespace kestro
