// The player core of the kestro host: the session's construction, loading, windows and state.
#include "runtime/session/session.h"

#include "kestrovalumen/host/gui.h"
#include "runtime/host/gui.h"
#include "runtime/host/host.h"
#include "runtime/project/projectcheck.h"
#include "runtime/session/drawobjaccess.h"
#include "runtime/session/sessiondamage.h"

#include <utility>

namespace kestro {

Session::Session(SessionOptions options)
    : m_options(std::move(options)), m_clock(m_options.refreshPeriod),
      m_damage(std::make_unique<DamageTracker>(m_options.damageLook)) {}

Session::~Session() {
    destroyObjects();
    if (m_loaded) {
        Gui& gui = Gui::instance();
        gui.onWindowOpen = nullptr;
        gui.onWindowClose = nullptr;
        gui.onCapture = nullptr;
        gui.onStop = nullptr;
    }
}

void Session::destroyObjects() {
    for (LoadedWindow& window : m_windows) {
        for (LoadedObject& object : window.objects) {
            delete object.object; // the plug-in's own destructor, through the virtual one
        }
        window.objects.clear();
    }
}

bool Session::load(const Project& project, std::string* error) {
    if (m_loaded) {
        *error = "the session already holds a project";
        return false;
    }
    if (const Problem problem = checkRunnable(project)) {
        *error = problem.message;
        return false;
    }

    resetHost();
    m_loaded = true;
    installObservers();
    m_recorder.expressions().install();
    if (!setUpHost(project, &m_simulated, error)) {
        return false;
    }
    WindowLoader loader(m_options.plugins, &m_scriptHost, m_recorder);
    for (const WindowDef& def : project.windows) {
        m_windows.push_back(loader.load(def, &m_problems));
        loader.prepare(m_windows.back());
    }
    m_stack.open(project.startWindow);
    simulate(0);
    return true;
}

void Session::installObservers() {
    Gui& gui = Gui::instance();
    gui.onWindowOpen = [this](int number) { onWindowOpen(number); };
    gui.onWindowClose = [this](int number) { onWindowClose(number); };
    gui.onCapture = [this](const ScreenCapture& capture) { onCapture(capture); };
    gui.onStop = [this](int code) {
        m_stopped = true;
        m_stopCode = code;
    };
}

// ---- windows ----

int Session::findWindow(int number) const {
    for (size_t i = 0; i < m_windows.size(); ++i) {
        if (m_windows[i].number == number) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int Session::currentWindow() const {
    return m_stack.current();
}

LoadedWindow* Session::current() {
    const int at = m_stack.numbers().empty() ? -1 : findWindow(m_stack.current());
    return at < 0 ? nullptr : &m_windows[static_cast<size_t>(at)];
}

const LoadedWindow* Session::current() const {
    const int at = m_stack.numbers().empty() ? -1 : findWindow(m_stack.current());
    return at < 0 ? nullptr : &m_windows[static_cast<size_t>(at)];
}

bool Session::showWindow(int number) {
    if (!hasWindow(number)) {
        return false;
    }
    onWindowOpen(number);
    if (m_started) {
        settle();
    }
    return true;
}

QSize Session::windowSize() const {
    const LoadedWindow* window = current();
    return window ? QSize(window->width, window->height) : QSize();
}

void Session::onWindowOpen(int number) {
    if (hasWindow(number) && m_stack.open(number)) {
        m_pendingRefresh = true;
    }
}

void Session::onWindowClose(int number) {
    if (m_stack.close(number)) {
        m_pendingRefresh = true;
    }
}

// ---- state ----

ObjectState Session::stateOf(const LoadedWindow& window, const LoadedObject& object) const {
    ObjectState state;
    state.window = window.number;
    state.index = object.index;
    state.classNumber = object.classNumber;
    state.className = object.className;
    state.name = objectName(object);
    state.visible = object.object->IsVisible();
    readDrawObjState(object.object, &state);
    state.changes = object.changes;
    return state;
}

std::vector<ObjectState> Session::objectStates(int number) const {
    std::vector<ObjectState> states;
    const int at = findWindow(number);
    if (at < 0) {
        return states;
    }
    const LoadedWindow& window = m_windows[static_cast<size_t>(at)];
    for (const LoadedObject& object : window.objects) {
        states.push_back(stateOf(window, object));
    }
    return states;
}

std::vector<ObjectState> Session::objectStates() const {
    return objectStates(currentWindow());
}

int Session::indexOf(const std::string& name) const {
    if (const LoadedWindow* window = current()) {
        for (const LoadedObject& object : window->objects) {
            if (objectName(object) == name) {
                return object.index;
            }
        }
    }
    return -1;
}

ObjectRef Session::findObject(const draw_object_c* object) const {
    for (const LoadedWindow& window : m_windows) {
        for (const LoadedObject& loaded : window.objects) {
            if (loaded.object == object) {
                return {window.number, loaded.index, objectName(loaded)};
            }
        }
    }
    return {};
}

} // namespace kestro
