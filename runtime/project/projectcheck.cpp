// Project rules.
#include "runtime/project/projectcheck.h"

#include "runtime/project/jsonsource.h"
#include "runtime/script/lexer.h"

#include <cmath>
#include <limits>
#include <set>

namespace kestro {

namespace {

bool isWhole32(double value) {
    return value == std::floor(value) && value >= std::numeric_limits<int32_t>::min() &&
           value <= std::numeric_limits<int32_t>::max();
}

const char* typeWord(VarType type) {
    switch (type) {
    case VarType::Int:
        return "int";
    case VarType::Float:
        return "float";
    default:
        return "string";
    }
}

} // namespace

bool isTagName(const std::string& name) {
    if (name.empty() || !script::isNameStart(static_cast<unsigned char>(name[0])) ||
        name == "true" || name == "false") {
        return false;
    }
    for (unsigned char c : name) {
        if (!script::isNamePart(c)) {
            return false;
        }
    }
    return isValidUtf8(name);
}

AnimationHeader::Form headerForm(const ProjectVersion& v) {
    const bool old = v.major < 3 || (v.major == 3 && v.minor < 2) ||
                     (v.major == 3 && v.minor == 2 && v.build < 5) ||
                     (v.major == 3 && v.minor == 2 && v.build == 5 && v.revision < 1841);
    return old ? AnimationHeader::Form::Old : AnimationHeader::Form::Current;
}

Problem checkTag(const TagDef& tag) {
    if (!isTagName(tag.name)) {
        return {"name", "'" + tag.name +
                            "' is no valid tag name: letters, digits, '_' and '.', not starting "
                            "with a digit or '.'"};
    }
    if (tag.type == VarType::String) {
        if (tag.number != 0.0) {
            return {"initial", "the initial value of a string tag must be a string"};
        }
        if (!isValidUtf8(tag.text)) {
            return {"initial", "the initial text is not UTF-8"};
        }
        if (tag.simulation.kind != Simulation::Kind::None) {
            return {"simulation", "a string tag cannot be simulated"};
        }
    } else {
        if (!tag.text.empty()) {
            return {"initial", std::string("the initial value of a ") + typeWord(tag.type) +
                                   " tag must be a number"};
        }
        if (!std::isfinite(tag.number)) {
            return {"initial", "the initial value must be a finite number"};
        }
        if (tag.type == VarType::Int && !isWhole32(tag.number)) {
            return {"initial", "the initial value of an int tag must be a whole number between "
                               "-2147483648 and 2147483647"};
        }
    }
    const Simulation& s = tag.simulation;
    for (double value : {s.period, s.low, s.high, s.step}) {
        if (!std::isfinite(value)) {
            return {"simulation", "simulation values must be finite numbers"};
        }
    }
    if (s.period <= 0.0) {
        return {"simulation", "the simulation period must be greater than 0"};
    }
    if (s.step < 0.0) {
        return {"simulation", "the random walk step must not be negative"};
    }
    for (size_t i = 0; i < s.steps.size(); ++i) {
        if (!std::isfinite(s.steps[i].first) || !std::isfinite(s.steps[i].second)) {
            return {"simulation", "simulation steps must be finite numbers"};
        }
        if (i > 0 && s.steps[i].first < s.steps[i - 1].first) {
            return {"simulation", "simulation steps must be in time order"};
        }
    }
    return {};
}

Problem checkAction(const StrategyAction& action, const TagDef* tag) {
    if (!tag) {
        return {"tag", "unknown tag '" + action.tag + "'"};
    }
    const bool isString = tag->type == VarType::String;
    switch (action.kind) {
    case StrategyAction::Kind::Set:
        if (isString) {
            if (action.number != 0.0 || !isValidUtf8(action.text)) {
                return {"value", "setting the string tag '" + tag->name + "' needs a string"};
            }
            return {};
        }
        if (!action.text.empty()) {
            return {"value", "setting the " + std::string(typeWord(tag->type)) + " tag '" +
                                 tag->name + "' needs a number"};
        }
        break;
    case StrategyAction::Kind::Toggle:
        if (isString) {
            return {"tag", "the string tag '" + tag->name + "' cannot be toggled"};
        }
        if (action.number != 0.0 || !action.text.empty()) {
            return {"value", "a toggle takes no value"};
        }
        return {};
    case StrategyAction::Kind::Add:
        if (isString) {
            return {"tag", "nothing can be added to the string tag '" + tag->name + "'"};
        }
        if (!action.text.empty()) {
            return {"value", "adding to a tag needs a number"};
        }
        break;
    }
    if (!std::isfinite(action.number)) {
        return {"value", "the value must be a finite number"};
    }
    if (tag->type == VarType::Int && !isWhole32(action.number)) {
        return {"value", "the int tag '" + tag->name +
                             "' needs a whole number between -2147483648 and 2147483647"};
    }
    return {};
}

Problem checkWindowFrame(const WindowDef& window) {
    if (window.number < 0 || window.number > 0xFFFF) {
        return {"number", "window numbers are 0 to 65535"};
    }
    if (!isValidUtf8(window.name)) {
        return {"name", "the window name is not UTF-8"};
    }
    if (window.width < 1 || window.width > 32767 || window.height < 1 || window.height > 32767) {
        return {"size", "window width and height must be 1 to 32767"};
    }
    return {};
}

bool checkProject(const Project& project, std::string* message) {
    const auto refuse = [&](const std::string& text) {
        if (message) {
            *message = text;
        }
        return false;
    };
    const ProjectVersion& v = project.version;
    if (v.major < 0 || v.minor < 0 || v.build < 0 || v.revision < 0 || !isValidUtf8(v.text)) {
        return refuse("project version: parts must not be negative and the text must be UTF-8");
    }
    std::set<std::string> languages;
    for (const LanguageDef& language : project.languages) {
        if (language.name.empty() || !isValidUtf8(language.name) ||
            !languages.insert(language.name).second) {
            return refuse("language '" + language.name +
                          "': names must be UTF-8, not empty, "
                          "and unique");
        }
        for (const auto& [key, text] : language.texts) {
            if (!isValidUtf8(key) || !isValidUtf8(text)) {
                return refuse("language '" + language.name + "': texts must be UTF-8");
            }
        }
    }
    if (!project.language.empty() && !languages.count(project.language)) {
        return refuse("the current language '" + project.language + "' is not defined");
    }
    std::set<std::string> tagNames;
    for (const TagDef& tag : project.tags) {
        if (const Problem problem = checkTag(tag)) {
            return refuse("tag '" + tag.name + "': " + problem.message);
        }
        if (!tagNames.insert(tag.name).second) {
            return refuse("duplicate tag name '" + tag.name + "'");
        }
    }
    std::set<int> strategyNumbers;
    for (const StrategyDef& strategy : project.strategies) {
        const std::string label = "strategy " + std::to_string(strategy.number);
        if (!strategyNumbers.insert(strategy.number).second) {
            return refuse("duplicate " + label);
        }
        if (!isValidUtf8(strategy.name)) {
            return refuse(label + ": the name is not UTF-8");
        }
        for (const StrategyAction& action : strategy.actions) {
            const int index = project.tagIndex(action.tag);
            const TagDef* tag = index >= 0 ? &project.tags[static_cast<size_t>(index)] : nullptr;
            if (const Problem problem = checkAction(action, tag)) {
                return refuse(label + ": " + problem.message);
            }
        }
    }
    std::set<int> windowNumbers;
    for (const WindowDef& window : project.windows) {
        const std::string label = "window " + std::to_string(window.number);
        if (const Problem problem = checkWindowFrame(window)) {
            return refuse(label + ": " + problem.message);
        }
        if (!windowNumbers.insert(window.number).second) {
            return refuse("duplicate " + label);
        }
    }
    const bool startKnown = project.windows.empty() ? project.startWindow == 0
                                                    : windowNumbers.count(project.startWindow);
    if (!startKnown) {
        return refuse("the start window " + std::to_string(project.startWindow) +
                      " is not defined");
    }
    return true;
}

Problem checkRunnable(const Project& project) {
    if (project.windows.empty()) {
        return {"windows", "the project has no window"};
    }
    if (!project.window(project.startWindow)) {
        return {"startWindow",
                "the start window " + std::to_string(project.startWindow) + " does not exist"};
    }
    std::set<int> numbers;
    for (const WindowDef& window : project.windows) {
        if (!numbers.insert(window.number).second) {
            return {"windows", "window " + std::to_string(window.number) + " is defined twice"};
        }
    }
    return {};
}

} // namespace kestro
