// The player core of the kestro host.
#include "runtime/session/session.h"

#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/utils.h"
#include "runtime/host/host.h"
#include "runtime/host/linguist.h"
#include "runtime/host/registry.h"
#include "runtime/paint/recordingdevice.h"
#include "runtime/session/drawobjaccess.h"
#include "runtime/session/pluginloader.h"
#include "runtime/session/simulation.h"

#include <QByteArray>
#include <QColor>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <set>

namespace kestro {

namespace {

std::string hexNumber(uint32_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(number));
    return text;
}

template <class T>
std::vector<T> tail(const std::vector<T>& all, size_t from) {
    return from < all.size()
               ? std::vector<T>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end())
               : std::vector<T>();
}

} // namespace

std::string LoadProblem::text() const {
    std::string line = "window " + std::to_string(window) + ", object " + std::to_string(index) +
                       " (" + (className.empty() ? hexNumber(classNumber) : className);
    if (!objectName.empty()) {
        line += " \"" + objectName + "\"";
    }
    line += "): " + reason;
    if (!skipped) {
        line += " (loaded)";
    }
    for (const MonitorRecord& record : monitor) {
        line += "; monitor " + std::to_string(record.code) + " \"" + record.message + "\"";
    }
    for (const LogRecord& record : logs) {
        line += "; log " + record.file + ":" + std::to_string(record.line) + " " + record.tag +
                " \"" + record.text + "\"";
    }
    return line;
}

// A simulated tag: its variable and its simulator.
struct Session::Simulated {
    int index;
    VarType type;
    TagSimulator simulator;
};

Session::Session(SessionOptions options)
    : m_options(std::move(options)), m_clock(m_options.refreshPeriod) {}

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

// ---- loading ----

bool Session::load(const Project& project, std::string* error) {
    if (m_loaded) {
        *error = "the session already holds a project";
        return false;
    }
    if (project.windows.empty()) {
        *error = "the project has no window";
        return false;
    }
    bool startFound = false;
    for (const WindowDef& window : project.windows) {
        startFound = startFound || window.number == project.startWindow;
    }
    if (!startFound) {
        *error = "the start window " + std::to_string(project.startWindow) + " does not exist";
        return false;
    }
    std::set<int> numbers;
    for (const WindowDef& window : project.windows) {
        if (!numbers.insert(window.number).second) {
            *error = "window " + std::to_string(window.number) + " is defined twice";
            return false;
        }
    }

    resetHost();
    m_loaded = true;
    installObservers();
    if (!setUpDatabase(project, error) || !setUpStrategies(project, error)) {
        return false;
    }
    setUpLanguages(project);
    // Plug-ins ask for the version while their records load; it picks the animation header.
    Gui::instance().setProjectVersion(project.version);

    for (const WindowDef& def : project.windows) {
        loadWindow(def);
    }
    m_stack.push_back(project.startWindow);
    simulate(0);
    return true;
}

bool Session::setUpDatabase(const Project& project, std::string* error) {
    Rtdb& rtdb = Rtdb::instance();
    for (size_t i = 0; i < project.tags.size(); ++i) {
        const TagDef& tag = project.tags[i];
        // Programs address variables by position in the tag list, so every tag must get it.
        if (rtdb.define(tag.name, tag.type) != static_cast<int>(i)) {
            *error = "tag " + std::to_string(i) + " \"" + tag.name +
                     "\": " + (tag.name.empty() ? "no name" : "the name is taken");
            return false;
        }
        const int index = static_cast<int>(i);
        switch (tag.type) {
        case VarType::Int:
            rtdb.setInt(index, kv::RoundSaturate32(tag.number));
            break;
        case VarType::Float:
            rtdb.setFloat(index, tag.number);
            break;
        case VarType::String:
            rtdb.setString(index, tag.text);
            break;
        }
        if (tag.simulation.kind != Simulation::Kind::None && tag.type != VarType::String) {
            m_simulated.push_back(std::make_unique<Simulated>(
                Simulated{index, tag.type, TagSimulator(tag.simulation, tag.number)}));
        }
    }
    return true;
}

namespace {

//! One strategy step on the database.
void applyAction(int index, const StrategyAction& action) {
    Rtdb& rtdb = Rtdb::instance();
    const Variable* variable = rtdb.variable(index);
    if (!variable) {
        return;
    }
    switch (variable->type) {
    case VarType::Int: {
        int current = 0;
        rtdb.getInt(index, &current);
        switch (action.kind) {
        case StrategyAction::Kind::Set:
            rtdb.setInt(index, kv::RoundSaturate32(action.number));
            break;
        case StrategyAction::Kind::Toggle:
            rtdb.setInt(index, current == 0 ? 1 : 0);
            break;
        case StrategyAction::Kind::Add:
            rtdb.setInt(index, kv::RoundSaturate32(static_cast<double>(current) + action.number));
            break;
        }
        break;
    }
    case VarType::Float: {
        double current = 0.0;
        rtdb.getFloat(index, &current);
        switch (action.kind) {
        case StrategyAction::Kind::Set:
            rtdb.setFloat(index, action.number);
            break;
        case StrategyAction::Kind::Toggle:
            rtdb.setFloat(index, current == 0.0 ? 1.0 : 0.0);
            break;
        case StrategyAction::Kind::Add:
            rtdb.setFloat(index, current + action.number);
            break;
        }
        break;
    }
    case VarType::String:
        // A text can only be set; toggling or adding to it means nothing.
        if (action.kind == StrategyAction::Kind::Set) {
            rtdb.setString(index, action.text);
        }
        break;
    }
}

} // namespace

bool Session::setUpStrategies(const Project& project, std::string* error) {
    const Rtdb& rtdb = Rtdb::instance();
    for (const StrategyDef& strategy : project.strategies) {
        std::vector<std::pair<int, StrategyAction>> steps;
        for (const StrategyAction& action : strategy.actions) {
            const int index = rtdb.indexOf(action.tag);
            if (index < 0) {
                *error = "strategy " + std::to_string(strategy.number) + " (" + strategy.name +
                         "): unknown tag \"" + action.tag + "\"";
                return false;
            }
            steps.emplace_back(index, action);
        }
        Strategies::instance().define(strategy.number, strategy.name, [steps] {
            for (const auto& [index, action] : steps) {
                applyAction(index, action);
            }
        });
    }
    return true;
}

void Session::setUpLanguages(const Project& project) {
    Linguist& linguist = Linguist::instance();
    for (const LanguageDef& language : project.languages) {
        for (const auto& [key, text] : language.texts) {
            linguist.setText(language.name, key, text);
        }
    }
    if (!project.language.empty()) {
        linguist.setCurrentLanguage(project.language);
    } else if (!project.languages.empty()) {
        linguist.setCurrentLanguage(project.languages.front().name);
    }
}

void Session::loadWindow(const WindowDef& def) {
    LoadedWindow window;
    window.number = def.number;
    window.name = def.name;
    window.width = def.width;
    window.height = def.height;
    window.background = def.background;

    ClassRegistry& registry = ClassRegistry::instance();
    HostLog& log = HostLog::instance();
    for (size_t i = 0; i < def.objects.size(); ++i) {
        const ObjectDef& objectDef = def.objects[i];
        LoadProblem problem;
        problem.window = def.number;
        problem.index = static_cast<int>(i);
        problem.classNumber = objectDef.classNumber;
        problem.objectName = objectDef.name;
        rtti::clazz_c* descriptor = registry.byNumber(objectDef.classNumber);
        if (!descriptor) {
            problem.reason = "class " + hexNumber(objectDef.classNumber) + " is not registered";
            m_problems.push_back(std::move(problem));
            continue;
        }
        problem.className = descriptor->class_name();
        if (m_options.plugins) {
            const LoadedPlugin* owner = m_options.plugins->ownerOf(descriptor);
            if (!owner || !owner->sharesDrawObjBase) {
                problem.reason = "class " + hexNumber(objectDef.classNumber) + " comes from " +
                                 (owner ? "the plug-in \"" + owner->identifier + "\""
                                        : std::string("no loaded plug-in")) +
                                 ", not from one of ours";
                m_problems.push_back(std::move(problem));
                continue;
            }
        }
        rtti::object_c* created = nullptr;
        try {
            created = descriptor->create_object();
        } catch (const std::exception& e) {
            problem.reason = std::string("the class could not create an object: ") + e.what();
        } catch (...) {
            problem.reason = "the class could not create an object";
        }
        if (!created) {
            if (problem.reason.empty()) {
                problem.reason = "the class has no instances";
            }
            m_problems.push_back(std::move(problem));
            continue;
        }
        auto* object = static_cast<draw_object_c*>(created);

        const size_t monitorBefore = log.monitor().size();
        const size_t logsBefore = log.logs().size();
        FF::utils::MemoryBuffer buffer(objectDef.record.data(), objectDef.record.size());
        bool loaded = false;
        try {
            loaded = object->deserialize(&buffer);
            if (!loaded) {
                problem.reason = "the record did not load";
            }
        } catch (const std::exception& e) {
            problem.reason = std::string("loading the record threw: ") + e.what();
        } catch (...) {
            problem.reason = "loading the record threw an unknown exception";
        }
        problem.monitor = tail(log.monitor(), monitorBefore);
        problem.logs = tail(log.logs(), logsBefore);
        if (object->GetName() && *object->GetName()) {
            problem.objectName = object->GetName();
        }
        if (!loaded) {
            // An object that failed to load may hold empty list entries: the host only
            // destroys it.
            delete created;
            m_problems.push_back(std::move(problem));
            continue;
        }
        if (buffer.position() != buffer.length()) {
            problem.reason = std::to_string(buffer.length() - buffer.position()) +
                             " bytes after the record were not read";
            problem.skipped = false;
            m_problems.push_back(std::move(problem));
        }
        object->SetScriptHost(&m_scriptHost);
        object->SetParent(nullptr);

        LoadedObject entry;
        entry.object = object;
        entry.classNumber = objectDef.classNumber;
        entry.className = descriptor->class_name();
        entry.index = static_cast<int>(i);
        window.objects.push_back(std::move(entry));
    }
    m_windows.push_back(std::move(window));

    // Polylines place their vertices from ratios they compute on -1; every object gets it once.
    LoadedWindow& loaded = m_windows.back();
    for (LoadedObject& object : loaded.objects) {
        const uint64_t changes = object.changes;
        runObject(loaded, object, -1);
        object.changes = changes;
    }
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
    return m_stack.empty() ? -1 : m_stack.back();
}

Session::LoadedWindow* Session::current() {
    const int at = m_stack.empty() ? -1 : findWindow(m_stack.back());
    return at < 0 ? nullptr : &m_windows[static_cast<size_t>(at)];
}

const Session::LoadedWindow* Session::current() const {
    const int at = m_stack.empty() ? -1 : findWindow(m_stack.back());
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
    if (!hasWindow(number) || currentWindow() == number) {
        return;
    }
    m_stack.erase(std::remove(m_stack.begin(), m_stack.end(), number), m_stack.end());
    m_stack.push_back(number);
    m_pendingRefresh = true;
}

void Session::onWindowClose(int number) {
    const auto found = std::find(m_stack.begin(), m_stack.end(), number);
    if (found == m_stack.end() || m_stack.size() == 1) {
        return;
    }
    const bool wasCurrent = number == currentWindow();
    m_stack.erase(found);
    m_pendingRefresh = m_pendingRefresh || wasCurrent;
}

void Session::onCapture(const ScreenCapture&) {
    CaptureFile file;
    if (!m_options.capturePath.empty()) {
        file.path = m_options.capturePath;
        const std::string number = std::to_string(m_captureFiles.size() + 1);
        for (size_t at = file.path.find("%n"); at != std::string::npos;
             at = file.path.find("%n", at + number.size())) {
            file.path.replace(at, 2, number);
        }
        file.saved = savePng(file.path, QSize(), &file.error);
    }
    m_captureFiles.push_back(std::move(file));
}

std::string Session::nameOf(const LoadedObject& object) {
    const char* name = object.object->GetName();
    return name ? name : "";
}

// ---- running ----

void Session::runObject(LoadedWindow& window, LoadedObject& object, int code) {
    try {
        if (object.object->Run(code)) {
            ++object.changes;
        }
    } catch (const std::exception& e) {
        m_faults.push_back({window.number, object.index, nameOf(object),
                            "Run(" + std::to_string(code) + "): " + e.what()});
    } catch (...) {
        m_faults.push_back({window.number, object.index, nameOf(object),
                            "Run(" + std::to_string(code) + "): unknown exception"});
    }
}

void Session::runAll(int code) {
    LoadedWindow* window = current();
    if (!window) {
        return;
    }
    // A window opened meanwhile becomes current, but this round finishes on the objects it
    // started with; the lists themselves never change after loading.
    for (LoadedObject& object : window->objects) {
        runObject(*window, object, code);
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
    Rtdb& rtdb = Rtdb::instance();
    const size_t before = rtdb.writes().size();
    for (const auto& simulated : m_simulated) {
        double value = 0.0;
        if (!simulated->simulator.valueAt(time, &value)) {
            continue;
        }
        if (simulated->type == VarType::Int) {
            int current = 0;
            const int32_t next = kv::RoundSaturate32(value);
            if (rtdb.getInt(simulated->index, &current) != RtdbOk || current != next) {
                rtdb.setInt(simulated->index, next);
            }
        } else {
            double current = 0.0;
            if (rtdb.getFloat(simulated->index, &current) != RtdbOk || current != value) {
                rtdb.setFloat(simulated->index, value);
            }
        }
    }
    const size_t after = rtdb.writes().size();
    if (after > before) {
        if (!m_simulationWrites.empty() && m_simulationWrites.back().second == before) {
            m_simulationWrites.back().second = after;
        } else {
            m_simulationWrites.emplace_back(before, after);
        }
    }
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

bool Session::click(const std::string& objectName) {
    start();
    LoadedWindow* window = current();
    if (!window) {
        return false;
    }
    for (auto it = window->objects.rbegin(); it != window->objects.rend(); ++it) {
        if (nameOf(*it) == objectName) {
            runObject(*window, *it, 11111);
            settle();
            return true;
        }
    }
    return false;
}

int Session::hitTest(int x, int y) const {
    const LoadedWindow* window = current();
    if (!window) {
        return -1;
    }
    for (auto it = window->objects.rbegin(); it != window->objects.rend(); ++it) {
        if (!it->object->IsVisible()) {
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
            runObject(*window, object, 11111);
            break;
        }
    }
    settle();
    return index;
}

bool Session::sync(const std::string& objectName, const std::string& text) {
    start();
    LoadedWindow* window = current();
    if (!window) {
        return false;
    }
    Gui& gui = Gui::instance();
    for (auto it = window->objects.rbegin(); it != window->objects.rend(); ++it) {
        if (nameOf(*it) == objectName) {
            gui.queueSyncText(text);
            runObject(*window, *it, 5);
            // A text nobody took must not answer somebody else's later request.
            while (gui.syncText()) {
            }
            settle();
            return true;
        }
    }
    return false;
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

// ---- state ----

ObjectState Session::stateOf(const LoadedWindow& window, const LoadedObject& object) const {
    ObjectState state;
    state.window = window.number;
    state.index = object.index;
    state.classNumber = object.classNumber;
    state.className = object.className;
    state.name = nameOf(object);
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

int Session::indexOf(const std::string& objectName) const {
    const LoadedWindow* window = current();
    if (window) {
        for (const LoadedObject& object : window->objects) {
            if (nameOf(object) == objectName) {
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
                return {window.number, loaded.index, nameOf(loaded)};
            }
        }
    }
    return {};
}

CallMark Session::mark() const {
    const Gui& gui = Gui::instance();
    CallMark mark;
    mark.opened = gui.openedWindows().size();
    mark.closed = gui.closedWindows().size();
    mark.captures = gui.captures().size();
    mark.stops = gui.stops().size();
    mark.operationLog = gui.operationLog().size();
    mark.keyboards = gui.keyboardCalls().size();
    mark.strategies = Strategies::instance().runs().size();
    mark.writes = Rtdb::instance().writes().size();
    mark.monitor = HostLog::instance().monitor().size();
    mark.logs = HostLog::instance().logs().size();
    mark.faults = m_faults.size();
    return mark;
}

HostCalls Session::callsSince(const CallMark& mark) const {
    const Gui& gui = Gui::instance();
    HostCalls calls;
    calls.opened = tail(gui.openedWindows(), mark.opened);
    calls.closed = tail(gui.closedWindows(), mark.closed);
    calls.captures = tail(gui.captures(), mark.captures);
    calls.captureFiles = tail(m_captureFiles, mark.captures);
    calls.stops = tail(gui.stops(), mark.stops);
    calls.operationLog = tail(gui.operationLog(), mark.operationLog);
    calls.keyboards = tail(gui.keyboardCalls(), mark.keyboards);
    calls.strategies = tail(Strategies::instance().runs(), mark.strategies);
    const auto& writes = Rtdb::instance().writes();
    for (size_t i = mark.writes; i < writes.size(); ++i) {
        const bool simulated =
            std::any_of(m_simulationWrites.begin(), m_simulationWrites.end(),
                        [i](const auto& range) { return i >= range.first && i < range.second; });
        if (!simulated) {
            calls.writes.push_back(writes[i]);
        }
    }
    calls.monitor = tail(HostLog::instance().monitor(), mark.monitor);
    calls.logs = tail(HostLog::instance().logs(), mark.logs);
    calls.faults = tail(m_faults, mark.faults);
    return calls;
}

// ---- painting ----

void Session::drawObject(QPainter* painter, LoadedWindow& window, LoadedObject& object) {
    // Each object starts from the same painter state, whatever the one before it left.
    painter->save();
    try {
        object.object->Draw(painter);
    } catch (const std::exception& e) {
        m_faults.push_back(
            {window.number, object.index, nameOf(object), std::string("Draw: ") + e.what()});
    } catch (...) {
        m_faults.push_back(
            {window.number, object.index, nameOf(object), "Draw: unknown exception"});
    }
    painter->restore();
}

void Session::paint(QPainter* painter) {
    LoadedWindow* window = current();
    if (!window) {
        return;
    }
    painter->fillRect(QRect(0, 0, window->width, window->height), QColor(window->background));
    for (LoadedObject& object : window->objects) {
        // Shapes hide themselves only in the blink phase; whether they are visible at all (the
        // units digit of the show state) is the host's to honour.
        if (!object.object->IsVisible()) {
            continue;
        }
        drawObject(painter, *window, object);
    }
}

QImage Session::render(QSize size) {
    const QSize own = windowSize();
    if (!own.isValid() || own.isEmpty()) {
        return QImage();
    }
    if (size.isEmpty()) {
        size = own;
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (size != own) {
        painter.scale(static_cast<double>(size.width()) / own.width(),
                      static_cast<double>(size.height()) / own.height());
    }
    paint(&painter);
    painter.end();
    return image;
}

bool Session::savePng(const std::string& path, QSize size, std::string* error) {
    const QImage image = render(size);
    if (image.isNull()) {
        const QSize wanted = size.isEmpty() ? windowSize() : size;
        *error = "cannot render window " + std::to_string(currentWindow()) + " at " +
                 std::to_string(wanted.width()) + "x" + std::to_string(wanted.height());
        return false;
    }
    if (!image.save(QString::fromStdString(path), "PNG")) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

Session::Trace Session::trace() {
    Trace trace;
    LoadedWindow* window = current();
    if (!window) {
        return trace;
    }
    trace.size = QSize(window->width, window->height);
    RecordingDevice device(std::max(window->width, 1), std::max(window->height, 1));
    QPainter painter(&device);
    auto take = [&device](size_t* from) {
        const PaintRecords& all = device.records();
        PaintRecords part(all.begin() + static_cast<std::ptrdiff_t>(*from), all.end());
        *from = all.size();
        return part;
    };
    size_t from = 0;
    painter.fillRect(QRect(0, 0, window->width, window->height), QColor(window->background));
    trace.background = take(&from);
    for (LoadedObject& object : window->objects) {
        if (!object.object->IsVisible()) {
            trace.objects.push_back({object.index, nameOf(object), object.className, {}});
            continue;
        }
        drawObject(&painter, *window, object);
        trace.objects.push_back({object.index, nameOf(object), object.className, take(&from)});
    }
    painter.end();
    return trace;
}

} // namespace kestro
