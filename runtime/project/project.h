// A compiled project as the reference host runs it: languages, tags, strategies and windows whose
// objects are class numbers with their stream records. The screen compiler builds it from a
// project file (JSON); the .kvs container stores it.
#pragma once

#include "runtime/host/gui.h"
#include "runtime/host/rtdb.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kestro {

//! How a tag's value changes over time when the project runs. Times are in seconds.
struct Simulation {
    enum class Kind { None, Sine, Ramp, Square, RandomWalk, Steps };
    Kind kind = Kind::None;
    double period = 10.0; //!< sine, ramp, square: one cycle
    double low = 0.0;     //!< sine, ramp, square, random walk: lower bound
    double high = 100.0;  //!< upper bound
    double step = 1.0;    //!< random walk: largest change per second
    uint32_t seed = 1;    //!< random walk: the same seed gives the same walk
    //! steps: (time, value) pairs in time order; the value holds from its time on.
    std::vector<std::pair<double, double>> steps;
};

//! A real-time variable. Its index in the database is its position in Project::tags.
struct TagDef {
    std::string name;
    VarType type = VarType::Float;
    double number = 0.0; //!< initial value of an int or float tag
    std::string text;    //!< initial value of a string tag
    Simulation simulation;
};

//! One step of a strategy: an action on a tag.
struct StrategyAction {
    enum class Kind { Set, Toggle, Add };
    Kind kind = Kind::Set;
    std::string tag;
    double number = 0.0; //!< Set and Add on numbers
    std::string text;    //!< Set on a string tag
};

struct StrategyDef {
    int number = 0;
    std::string name;
    std::vector<StrategyAction> actions;
};

//! Texts of one language, by language key.
struct LanguageDef {
    std::string name;
    std::map<std::string, std::string> texts;
};

//! Source of a program limit of a value input.
struct LimitSource {
    int animation = 0; //!< index in the object's animation list
    bool upper = true; //!< upper limit, else lower
    std::string source;
};

//! One drawing object: its class and its record, as the plug-in's loader reads it.
struct ObjectDef {
    uint32_t classNumber = 0;
    std::string className; //!< as written in the project file (informative)
    std::string name;      //!< object name (informative; the record holds the real one)
    std::string record;    //!< record bytes: common record, then the class's own fields
    //! Expression source of each animation, in record order ("" where none is known), so that
    //! a dump can show the text the program was compiled from.
    std::vector<std::string> expressions;
    //! Action source of each event handler, in record order ("" where none is known).
    std::vector<std::string> eventSources;
    //! Sources of the value inputs' program limits, in record order.
    std::vector<LimitSource> limitSources;
};

struct WindowDef {
    int number = 0;
    std::string name;
    int width = 800;
    int height = 600;
    uint32_t background = 0xFFFFFF; //!< 0x00RRGGBB
    std::vector<ObjectDef> objects; //!< painting order, bottom first
};

struct Project {
    ProjectVersion version; //!< reported to plug-ins while loading
    std::vector<LanguageDef> languages;
    std::string language; //!< current language ("" = first)
    std::vector<TagDef> tags;
    std::vector<StrategyDef> strategies;
    std::vector<WindowDef> windows;
    int startWindow = 0; //!< number of the window shown first

    //! Index of a tag, or -1.
    int tagIndex(const std::string& name) const;
    const WindowDef* window(int number) const;
};

} // namespace kestro
