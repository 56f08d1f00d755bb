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

//! A connection to a live data source: an MQTT broker or a Modbus TCP server.
struct ConnectionDef {
    enum class Kind { Mqtt, ModbusTcp };
    std::string name;
    Kind kind = Kind::Mqtt;
    std::string host = "127.0.0.1";
    int port = 0; //!< 0: the kind's own (1883, 8883 with TLS, 502)
    // MQTT
    std::string clientId; //!< "" lets the client make one up
    int keepAlive = 30;   //!< seconds
    bool hasCredentials = false;
    std::string username;
    std::string password;
    bool tls = false; //!< the broker's certificate is verified against tlsCa
    std::string tlsCa;
    std::string tlsCert; //!< client certificate and key, both or neither
    std::string tlsKey;
    // Modbus TCP
    int unit = 1;         //!< unit (slave) identifier
    double poll = 0.25;   //!< seconds between the starts of two polls
    double timeout = 1.0; //!< seconds a request may take
};

//! Where a live tag's value comes from, and where an operator's write of it goes.
struct TagSource {
    enum class Payload { Number, Text, Json };
    enum class Table { Holding, Input, Coil, Discrete };
    enum class Type { Int16, UInt16, Int32, UInt32, Float32, Bool };
    std::string connection; //!< "" for a tag without a live source
    // MQTT
    std::string topic;
    Payload payload = Payload::Number;
    std::string jsonPointer; //!< Payload::Json: the member, as a JSON pointer ("/a/b")
    std::string writeTopic;  //!< "" for a tag no operator may write
    int qos = 0;             //!< 0 or 1
    bool retain = false;
    // Modbus
    Table table = Table::Holding;
    int address = 0; //!< 0-based register or coil number
    Type type = Type::UInt16;
    bool littleWordOrder = false; //!< 32-bit types: the low word first
    double scale = 1.0;           //!< value = raw * scale + offset
    double offset = 0.0;
    bool writable = false;

    bool live() const { return !connection.empty(); }
};

//! A tag that a connection keeps up to date about itself ("broker.connected", "plc1.errors").
struct ConnectionStatus {
    enum class What { None, Connected, Errors };
    What what = What::None;
    std::string connection;
};

//! A real-time variable. Its index in the database is its position in Project::tags.
struct TagDef {
    std::string name;
    VarType type = VarType::Float;
    double number = 0.0; //!< initial value of an int or float tag
    std::string text;    //!< initial value of a string tag
    Simulation simulation;
    TagSource source;        //!< a live source instead of a simulation
    ConnectionStatus status; //!< set on the status tags the compiler adds for each connection
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
    std::vector<ConnectionDef> connections;
    //! The declared tags, then two status tags of each connection in connection order:
    //! "NAME.connected" and "NAME.errors" (both int).
    std::vector<TagDef> tags;
    std::vector<StrategyDef> strategies;
    std::vector<WindowDef> windows;
    int startWindow = 0; //!< number of the window shown first

    //! Index of a tag, or -1.
    int tagIndex(const std::string& name) const;
    const ConnectionDef* connection(const std::string& name) const;
    const WindowDef* window(int number) const;
};

} // namespace kestro
