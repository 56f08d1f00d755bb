// Loading a project into the host.
#include "runtime/session/sessionload.h"

#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/utils.h"
#include "runtime/host/gui.h"
#include "runtime/host/linguist.h"
#include "runtime/host/registry.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/stgy.h"
#include "runtime/session/pluginloader.h"
#include "runtime/session/sessionrecorder.h"
#include "runtime/session/simulation.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace kestro {

namespace {

std::string hexNumber(uint32_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(number));
    return text;
}

bool setUpDatabase(const Project& project, SimulatedTags* simulated, std::string* error) {
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
            simulated->add(index, tag.type, TagSimulator(tag.simulation, tag.number));
        }
    }
    return true;
}

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

bool setUpStrategies(const Project& project, std::string* error) {
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

void setUpLanguages(const Project& project) {
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

} // namespace

std::string LoadProblem::text() const {
    // Counted from 1, as the compiler's errors count them.
    std::string line = "window " + std::to_string(window) + ", object " +
                       std::to_string(index + 1) + " (" +
                       (className.empty() ? hexNumber(classNumber) : className);
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

bool setUpHost(const Project& project, SimulatedTags* simulated, std::string* error) {
    if (!setUpDatabase(project, simulated, error) || !setUpStrategies(project, error)) {
        return false;
    }
    setUpLanguages(project);
    // Plug-ins ask for the version while their records load; it picks the animation header.
    Gui::instance().setProjectVersion(project.version);
    return true;
}

WindowLoader::WindowLoader(const PluginSet* plugins, Script::IHost* scriptHost,
                           CallRecorder& recorder)
    : m_plugins(plugins), m_scriptHost(scriptHost), m_recorder(recorder) {}

LoadedWindow WindowLoader::load(const WindowDef& def, std::vector<LoadProblem>* problems) {
    LoadedWindow window;
    window.number = def.number;
    window.name = def.name;
    window.width = def.width;
    window.height = def.height;
    window.background = def.background;
    for (size_t i = 0; i < def.objects.size(); ++i) {
        const ObjectDef& objectDef = def.objects[i];
        LoadProblem problem;
        problem.window = def.number;
        problem.index = static_cast<int>(i);
        problem.classNumber = objectDef.classNumber;
        problem.objectName = objectDef.name;
        draw_object_c* object = create(objectDef, &problem);
        if (!object) {
            problems->push_back(std::move(problem));
            continue;
        }
        if (!read(object, objectDef, &problem)) {
            // An object that failed to load may hold empty list entries: the host only
            // destroys it.
            delete object;
            problems->push_back(std::move(problem));
            continue;
        }
        if (!problem.reason.empty()) {
            problem.skipped = false;
            problems->push_back(problem);
        }
        object->SetScriptHost(m_scriptHost);
        object->SetParent(nullptr);

        LoadedObject entry;
        entry.object = object;
        entry.classNumber = objectDef.classNumber;
        entry.className = problem.className;
        entry.index = static_cast<int>(i);
        entry.expressions = objectDef.expressions;
        entry.limits = objectDef.limitSources;
        window.objects.push_back(std::move(entry));
    }
    // Sized now: a run that reports a change never allocates.
    window.reported.assign((window.objects.size() + 63) / 64, 0);
    return window;
}

void WindowLoader::prepare(LoadedWindow& window) {
    for (LoadedObject& object : window.objects) {
        const uint64_t changes = object.changes;
        runObject(window, object, -1, m_recorder);
        object.changes = changes;
    }
}

draw_object_c* WindowLoader::create(const ObjectDef& def, LoadProblem* problem) {
    rtti::clazz_c* descriptor = ClassRegistry::instance().byNumber(def.classNumber);
    if (!descriptor) {
        problem->reason = "class " + hexNumber(def.classNumber) + " is not registered";
        return nullptr;
    }
    problem->className = descriptor->class_name();
    if (m_plugins) {
        const LoadedPlugin* owner = m_plugins->ownerOf(descriptor);
        if (!owner || !owner->sharesDrawObjBase) {
            problem->reason = "class " + hexNumber(def.classNumber) + " comes from " +
                              (owner ? "the plug-in \"" + owner->identifier + "\""
                                     : std::string("no loaded plug-in")) +
                              ", not from one of ours";
            return nullptr;
        }
    }
    rtti::object_c* created = nullptr;
    try {
        created = descriptor->create_object();
    } catch (const std::exception& e) {
        problem->reason = std::string("the class could not create an object: ") + e.what();
    } catch (...) {
        problem->reason = "the class could not create an object";
    }
    if (!created && problem->reason.empty()) {
        problem->reason = "the class has no instances";
    }
    return static_cast<draw_object_c*>(created);
}

bool WindowLoader::read(draw_object_c* object, const ObjectDef& def, LoadProblem* problem) {
    HostLog& log = HostLog::instance();
    const size_t monitorBefore = log.monitor().total();
    const size_t logsBefore = log.logs().total();
    FF::utils::MemoryBuffer buffer(def.record.data(), def.record.size());
    bool loaded = false;
    try {
        loaded = object->deserialize(&buffer);
        if (!loaded) {
            problem->reason = "the record did not load";
        }
    } catch (const std::exception& e) {
        problem->reason = std::string("loading the record threw: ") + e.what();
    } catch (...) {
        problem->reason = "loading the record threw an unknown exception";
    }
    problem->monitor = log.monitor().since(monitorBefore);
    problem->logs = log.logs().since(logsBefore);
    if (object->GetName() && *object->GetName()) {
        problem->objectName = object->GetName();
    }
    if (loaded && buffer.position() != buffer.length()) {
        problem->reason = std::to_string(buffer.length() - buffer.position()) +
                          " bytes after the record were not read";
    }
    return loaded;
}

} // namespace kestro
