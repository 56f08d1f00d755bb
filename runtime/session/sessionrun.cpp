// Running a session: the virtual clock, the simulated tags, and the events that reach the
// objects of the current window.
#include "runtime/session/session.h"

#include "kestrovalumen/host/gui.h"
#include "runtime/host/gui.h"
#include "runtime/host/rtdb.h"
#include "runtime/session/drawobjaccess.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kestro {

void Session::runAll(int code) {
    LoadedWindow* window = current();
    if (!window) {
        return;
    }
    ++m_runs;
    // A window opened meanwhile becomes current, but this round finishes on the objects it
    // started with; the lists themselves never change after loading.
    for (LoadedObject& object : window->objects) {
        runObject(*window, object, code, m_recorder);
    }
}

void Session::settle() {
    // A refresh opens no windows (clicks do), but a bound keeps a faulty plug-in from looping.
    for (int round = 0; m_pendingRefresh && round < 16; ++round) {
        m_pendingRefresh = false;
        runAll(0);
    }
    m_pendingRefresh = false;
}

void Session::start() {
    if (m_started || !m_loaded) {
        return;
    }
    m_started = true;
    m_pendingRefresh = false;
    runAll(0);
    settle();
}

void Session::simulate(Micros time) {
    const size_t first = Rtdb::instance().writes().total();
    if (m_feed) {
        m_feed();
    }
    const size_t last = m_simulated.apply(time).second;
    m_recorder.simulationWrote(first, last);
}

void Session::advance(double seconds) {
    start();
    if (!(seconds > 0.0)) {
        return;
    }
    // Thirty years of virtual time at most keeps the clock far from the end of its range.
    constexpr double kLongestAdvance = 1e9;
    const Micros limit = m_clock.now() + toMicros(std::min(seconds, kLongestAdvance));
    Instant instant;
    while (m_clock.next(limit, &instant)) {
        simulate(instant.at);
        if (instant.refresh) {
            runAll(0);
        }
        for (int tick = 0; tick < 3; ++tick) {
            if (instant.blink[tick]) {
                runAll(tick + 1);
            }
        }
        settle();
    }
    m_clock.moveTo(limit);
    simulate(limit);
}

void Session::refresh() {
    start();
    runAll(0);
    settle();
}

void Session::blinkTick(int tick) {
    start();
    runAll(tick);
    settle();
}

void Session::trigger(int code) {
    start();
    runAll(code);
    settle();
}

LoadedObject* Session::topmostNamed(LoadedWindow& window, const std::string& objectName) {
    for (auto it = window.objects.rbegin(); it != window.objects.rend(); ++it) {
        if (kestro::objectName(*it) == objectName) {
            return &*it;
        }
    }
    return nullptr;
}

bool Session::click(const std::string& objectName) {
    start();
    LoadedWindow* window = current();
    LoadedObject* object = window ? topmostNamed(*window, objectName) : nullptr;
    if (!object) {
        return false;
    }
    ++m_runs;
    runObject(*window, *object, 11111, m_recorder);
    settle();
    return true;
}

int Session::hitTest(int x, int y) const {
    const LoadedWindow* window = current();
    if (!window) {
        return -1;
    }
    for (auto it = window->objects.rbegin(); it != window->objects.rend(); ++it) {
        // A caption or decoration drawn over a button must not swallow its click.
        if (!it->object->IsVisible() || !takesClicks(it->object)) {
            continue;
        }
        int left = 0, top = 0, right = 0, bottom = 0;
        it->object->GetBoundRect(&left, &top, &right, &bottom);
        if (x >= left && x <= right && y >= top && y <= bottom) {
            return it->index;
        }
    }
    return -1;
}

int Session::clickAt(int x, int y) {
    start();
    const int index = hitTest(x, y);
    LoadedWindow* window = current();
    if (index < 0 || !window) {
        return -1;
    }
    for (LoadedObject& object : window->objects) {
        if (object.index == index) {
            ++m_runs;
            runObject(*window, object, 11111, m_recorder);
            break;
        }
    }
    settle();
    return index;
}

bool Session::sync(const std::string& objectName, const std::string& text) {
    start();
    LoadedWindow* window = current();
    LoadedObject* object = window ? topmostNamed(*window, objectName) : nullptr;
    if (!object) {
        return false;
    }
    Gui& gui = Gui::instance();
    gui.queueSyncText(text);
    ++m_runs;
    runObject(*window, *object, 5, m_recorder);
    // A text nobody took must not answer somebody else's later request.
    while (gui.syncText()) {
    }
    settle();
    return true;
}

bool Session::setTag(const std::string& tag, const std::string& value, std::string* error) {
    Rtdb& rtdb = Rtdb::instance();
    const int index = rtdb.indexOf(tag);
    const Variable* variable = rtdb.variable(index);
    if (!variable) {
        *error = "unknown tag \"" + tag + "\"";
        return false;
    }
    // Qt's number parsing ignores the process locale, so a script reads the same everywhere.
    const QByteArray bytes = QByteArray::fromStdString(value).trimmed();
    bool ok = false;
    switch (variable->type) {
    case VarType::Int: {
        const qlonglong whole = bytes.toLongLong(&ok, 10);
        if (ok && whole >= std::numeric_limits<int32_t>::min() &&
            whole <= std::numeric_limits<int32_t>::max()) {
            rtdb.setInt(index, static_cast<int>(whole));
            return true;
        }
        *error =
            "tag \"" + tag + "\" takes a whole number in the 32-bit range, not \"" + value + "\"";
        return false;
    }
    case VarType::Float: {
        const double number = bytes.toDouble(&ok);
        if (ok && std::isfinite(number)) {
            rtdb.setFloat(index, number);
            return true;
        }
        *error = "tag \"" + tag + "\" takes a number, not \"" + value + "\"";
        return false;
    }
    case VarType::String:
        rtdb.setString(index, value);
        return true;
    }
    return false;
}

void Session::queueKeyboardAnswer(const std::string& text, bool opened) {
    Gui::instance().queueKeyboardAnswer({opened, text});
}

} // namespace kestro
