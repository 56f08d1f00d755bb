// The session's windows: running an object, and the stack of the windows shown.
#include "runtime/session/sessionwindow.h"

#include "kestrovalumen/host/gui.h"
#include "runtime/session/sessionrecorder.h"

#include <algorithm>
#include <exception>

namespace kestro {

std::string objectName(const LoadedObject& object) {
    const char* name = object.object->GetName();
    return name ? name : "";
}

std::string LoadedObject::programSource(int animation, int slot) const {
    if (animation < 0) {
        return std::string();
    }
    if (slot == 0) {
        return static_cast<size_t>(animation) < expressions.size() ? expressions[animation]
                                                                   : std::string();
    }
    for (const LimitSource& limit : limits) {
        if (limit.animation == animation && limit.upper == (slot == 1)) {
            return limit.source;
        }
    }
    return std::string();
}

void LoadedWindow::noteReported(const LoadedObject& object) {
    const size_t i = static_cast<size_t>(&object - objects.data());
    reported.resize((objects.size() + 63) / 64);
    reported[i / 64] |= uint64_t{1} << (i % 64);
}

namespace {

void fail(LoadedWindow& window, const LoadedObject& object, const std::string& what,
          CallRecorder& recorder) {
    recorder.addFault({window.number, object.index, objectName(object), what});
    // The animations before the one that threw may have changed the object.
    window.noteReported(object);
}

} // namespace

void runObject(LoadedWindow& window, LoadedObject& object, int code, CallRecorder& recorder) {
    // Failing expressions are pinned on the object that ran them.
    const WatchedRun watched(recorder.expressions(), window, object);
    try {
        if (object.object->Run(code)) {
            ++object.changes;
            window.noteReported(object);
        }
    } catch (const std::exception& e) {
        fail(window, object, "Run(" + std::to_string(code) + "): " + e.what(), recorder);
    } catch (...) {
        fail(window, object, "Run(" + std::to_string(code) + "): unknown exception", recorder);
    }
}

bool WindowStack::open(int number) {
    if (current() == number) {
        return false;
    }
    m_numbers.erase(std::remove(m_numbers.begin(), m_numbers.end(), number), m_numbers.end());
    m_numbers.push_back(number);
    return true;
}

bool WindowStack::close(int number) {
    const auto found = std::find(m_numbers.begin(), m_numbers.end(), number);
    if (found == m_numbers.end() || m_numbers.size() == 1) {
        return false;
    }
    const bool wasCurrent = number == current();
    m_numbers.erase(found);
    return wasCurrent;
}

} // namespace kestro
