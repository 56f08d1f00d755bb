// The project file: compiling its JSON into a Project, and dumping a Project back into it.
#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"
#include "runtime/project/screencodec.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

namespace kestro {

namespace {

constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;
constexpr uint32_t kDefaultBackground = 0xFFFFFF;

struct SimulationKindName {
    Simulation::Kind kind;
    const char* name;
};

constexpr SimulationKindName kSimulationKinds[] = {
    {Simulation::Kind::None, "none"},
    {Simulation::Kind::Sine, "sine"},
    {Simulation::Kind::Ramp, "ramp"},
    {Simulation::Kind::Square, "square"},
    {Simulation::Kind::RandomWalk, "randomWalk"},
    {Simulation::Kind::Steps, "steps"},
};

struct TagTypeName {
    VarType type;
    const char* name;
};

constexpr TagTypeName kTagTypes[] = {
    {VarType::Int, "int"}, {VarType::Float, "float"}, {VarType::String, "string"}};

struct ActionKindName {
    StrategyAction::Kind kind;
    const char* name;
};

constexpr ActionKindName kActionKinds[] = {{StrategyAction::Kind::Set, "set"},
                                           {StrategyAction::Kind::Toggle, "toggle"},
                                           {StrategyAction::Kind::Add, "add"}};

template <class Enum>
struct EnumName {
    Enum value;
    const char* name;
};

constexpr EnumName<ConnectionDef::Kind> kConnectionKinds[] = {
    {ConnectionDef::Kind::Mqtt, "mqtt"}, {ConnectionDef::Kind::ModbusTcp, "modbusTcp"}};

constexpr EnumName<TagSource::Payload> kPayloads[] = {{TagSource::Payload::Number, "number"},
                                                      {TagSource::Payload::Text, "text"}};

constexpr EnumName<TagSource::Table> kTables[] = {{TagSource::Table::Holding, "holding"},
                                                  {TagSource::Table::Input, "input"},
                                                  {TagSource::Table::Coil, "coil"},
                                                  {TagSource::Table::Discrete, "discrete"}};

constexpr EnumName<TagSource::Type> kRegisterTypes[] = {
    {TagSource::Type::Int16, "int16"},     {TagSource::Type::UInt16, "uint16"},
    {TagSource::Type::Int32, "int32"},     {TagSource::Type::UInt32, "uint32"},
    {TagSource::Type::Float32, "float32"}, {TagSource::Type::Bool, "bool"}};

constexpr EnumName<bool> kWordOrders[] = {{false, "big"}, {true, "little"}};

template <class Enum, size_t N>
const char* nameOf(const EnumName<Enum> (&names)[N], Enum value) {
    for (const EnumName<Enum>& candidate : names) {
        if (candidate.value == value) {
            return candidate.name;
        }
    }
    return "";
}

//! The value a name stands for; an unknown name fails with the names there are.
template <class Enum, size_t N>
Enum readEnum(const Node& node, const EnumName<Enum> (&names)[N], const std::string& what) {
    const std::string text = node.toText();
    std::string expected;
    for (size_t i = 0; i < N; ++i) {
        if (text == names[i].name) {
            return names[i].value;
        }
        expected += (i == 0 ? "" : i + 1 == N ? " or " : ", ") + std::string(names[i].name);
    }
    node.fail("unknown " + what + " '" + text + "' (expected " + expected + ")");
}

// Members a connection or a source has by its kind; the others' are named as such when given.
const std::vector<std::string> kMqttConnectionMembers = {"clientId", "keepAlive", "username",
                                                         "password", "tls"};
const std::vector<std::string> kModbusConnectionMembers = {"unit", "poll", "timeout"};
const std::vector<std::string> kMqttSourceMembers = {"topic", "writeTopic", "payload", "qos",
                                                     "retain"};
const std::vector<std::string> kModbusSourceMembers = {"table", "address", "type",    "wordOrder",
                                                       "scale", "offset",  "writable"};

//! Fails on a member that belongs to the other kind, then on any member not in common or own.
void allowKind(const Node& node, std::vector<std::string> common,
               const std::vector<std::string>& own, const std::vector<std::string>& other,
               const std::string& what, const std::string& otherWhat) {
    for (const std::string& key : node.keys()) {
        for (const std::string& candidate : other) {
            if (key == candidate) {
                node[key].failAtKey("'" + key + "' belongs to " + otherWhat + ", not to " + what);
            }
        }
    }
    common.insert(common.end(), own.begin(), own.end());
    node.allowOnly(common, what);
}

TagSource::Type defaultType(TagSource::Table table) {
    const bool bits = table == TagSource::Table::Coil || table == TagSource::Table::Discrete;
    return bits ? TagSource::Type::Bool : TagSource::Type::UInt16;
}

std::string dotted(const ProjectVersion& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build) +
           "." + std::to_string(v.revision);
}

std::string at(const JsonSource& source, size_t offset) {
    const auto [line, column] = source.position(offset);
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The field is a path of members ("source/topic"); the error goes to the deepest one given.
[[noreturn]] void failProblem(const Node& item, const Problem& problem) {
    Node at = item;
    size_t begin = 0;
    while (begin < problem.field.size() && at.isObject()) {
        const size_t end = std::min(problem.field.find('/', begin), problem.field.size());
        const Node next = at[problem.field.substr(begin, end - begin)];
        if (!next.exists()) {
            break;
        }
        at = next;
        begin = end + 1;
    }
    at.fail(problem.message);
}

// ---- compiling ----

class ProjectCompiler {
public:
    explicit ProjectCompiler(const JsonSource& source) : m_source(source) {}

    Project compile(const Node& root) {
        root.expectObject();
        root.allowOnly({"version", "versionText", "language", "startWindow", "languages",
                        "connections", "tags", "strategies", "windows"},
                       "the project");
        Project project;
        version(root, &project.version);
        if (root["languages"].exists()) {
            for (const Node& item : root["languages"].items()) {
                project.languages.push_back(language(item));
            }
        }
        if (root["language"].exists()) {
            project.language = root["language"].toText();
            if (!m_languages.count(project.language)) {
                root["language"].fail("the language '" + project.language + "' is not defined");
            }
        }
        if (root["connections"].exists()) {
            for (const Node& item : root["connections"].items()) {
                project.connections.push_back(connection(item));
            }
        }
        if (root["tags"].exists()) {
            for (const Node& item : root["tags"].items()) {
                project.tags.push_back(tag(item, project));
            }
        }
        appendStatusTags(project);
        const TagTable tags(project.tags);
        if (root["strategies"].exists()) {
            for (const Node& item : root["strategies"].items()) {
                project.strategies.push_back(strategy(item, project));
            }
        }
        const ScreenContext context{headerForm(project.version), &tags};
        if (root["windows"].exists()) {
            for (const Node& item : root["windows"].items()) {
                project.windows.push_back(window(item, context));
            }
        }
        const Node start = root["startWindow"];
        if (start.exists()) {
            project.startWindow = static_cast<int>(start.toInteger(INT32_MIN, INT32_MAX));
            if (!project.window(project.startWindow)) {
                start.fail("the start window " + std::to_string(project.startWindow) +
                           " is not defined");
            }
        } else if (!project.windows.empty()) {
            project.startWindow = project.windows.front().number;
        }
        return project;
    }

private:
    void version(const Node& root, ProjectVersion* v) {
        const Node node = root["version"];
        *v = ProjectVersion{4, 0, 0, 0, ""};
        if (node.exists()) {
            const std::string text = node.isString() ? node.toText() : std::string();
            int parts[4] = {};
            size_t part = 0;
            bool ok = node.isString() && !text.empty();
            int64_t value = -1;
            for (size_t i = 0; ok && i <= text.size(); ++i) {
                if (i == text.size() || text[i] == '.') {
                    ok = value >= 0 && part < 4;
                    if (ok) {
                        parts[part++] = static_cast<int>(value);
                    }
                    value = -1;
                } else if (text[i] >= '0' && text[i] <= '9') {
                    value = (value < 0 ? 0 : value) * 10 + (text[i] - '0');
                    ok = value <= std::numeric_limits<int32_t>::max();
                } else {
                    ok = false;
                }
            }
            if (!ok || part != 4) {
                node.fail("'version' must be four numbers \"major.minor.build.revision\", such "
                          "as \"4.0.0.0\"");
            }
            *v = ProjectVersion{parts[0], parts[1], parts[2], parts[3], ""};
        }
        v->text = root["versionText"].exists() ? root["versionText"].toText() : dotted(*v);
    }

    // A name that must be unique among its kind; the message names the first one's place.
    void unique(std::map<std::string, size_t>& seen, const std::string& name, const Node& node,
                const std::string& what) {
        const auto [it, inserted] = seen.emplace(name, node.offset());
        if (!inserted) {
            node.fail("duplicate " + what + " (the first is at " + at(m_source, it->second) + ")");
        }
    }

    LanguageDef language(const Node& item) {
        item.expectObject();
        item.allowOnly({"name", "texts"}, "a language");
        LanguageDef language;
        const Node name = item["name"];
        if (!name.exists()) {
            item.fail("a language needs \"name\"");
        }
        language.name = name.toText();
        if (language.name.empty()) {
            name.fail("a language name must not be empty");
        }
        unique(m_languages, language.name, name, "language '" + language.name + "'");
        if (item["texts"].exists()) {
            const Node texts = item["texts"];
            for (const std::string& key : texts.keys()) {
                language.texts[key] = texts[key].toText();
            }
        }
        return language;
    }

    Simulation simulation(const Node& node) {
        Simulation s;
        Node steps = node;
        if (node.isObject()) {
            node.allowOnly({"kind", "period", "low", "high", "step", "seed", "steps"},
                           "a simulation");
            const Node kind = node["kind"];
            if (!kind.exists()) {
                node.fail("a simulation needs \"kind\": none, sine, ramp, square, randomWalk or "
                          "steps");
            }
            const std::string name = kind.toText();
            bool known = false;
            for (const SimulationKindName& candidate : kSimulationKinds) {
                if (name == candidate.name) {
                    s.kind = candidate.kind;
                    known = true;
                }
            }
            if (!known) {
                kind.fail("unknown simulation kind '" + name +
                          "' (expected none, sine, ramp, square, randomWalk or steps)");
            }
            const std::pair<const char*, double*> numbers[] = {
                {"period", &s.period}, {"low", &s.low}, {"high", &s.high}, {"step", &s.step}};
            for (const auto& [key, field] : numbers) {
                if (node[key].exists()) {
                    *field = node[key].toNumber();
                }
            }
            if (node["seed"].exists()) {
                s.seed = static_cast<uint32_t>(node["seed"].toInteger(0, UINT32_MAX));
            }
            steps = node["steps"];
        } else if (node.isArray()) {
            s.kind = Simulation::Kind::Steps;
        } else {
            node.fail("'simulation' must be an object or a list of steps [time, value], found " +
                      node.kindName());
        }
        if (steps.exists()) {
            for (const Node& step : steps.items()) {
                const std::vector<Node> pair = step.isArray() ? step.items() : std::vector<Node>();
                if (pair.size() != 2) {
                    step.fail("'" + step.label() + "' must be a step [time, value]");
                }
                s.steps.emplace_back(pair[0].toNumber(), pair[1].toNumber());
            }
        }
        return s;
    }

    ConnectionDef connection(const Node& item) {
        item.expectObject();
        ConnectionDef c;
        const Node kind = item["kind"];
        if (!kind.exists()) {
            item.fail("a connection needs \"kind\": mqtt or modbusTcp");
        }
        c.kind = readEnum(kind, kConnectionKinds, "connection kind");
        const bool mqtt = c.kind == ConnectionDef::Kind::Mqtt;
        allowKind(item, {"name", "kind", "host", "port"},
                  mqtt ? kMqttConnectionMembers : kModbusConnectionMembers,
                  mqtt ? kModbusConnectionMembers : kMqttConnectionMembers,
                  mqtt ? "an MQTT connection" : "a Modbus TCP connection",
                  mqtt ? "a Modbus TCP connection" : "an MQTT connection");
        const Node name = item["name"];
        if (!name.exists()) {
            item.fail("a connection needs \"name\"");
        }
        c.name = name.toText();
        if (item["host"].exists()) {
            c.host = item["host"].toText();
        }
        if (item["port"].exists()) {
            c.port = static_cast<int>(item["port"].toInteger(INT32_MIN, INT32_MAX));
            if (c.port == 0) { // 0 stands for the kind's own port: leaving it out says that
                item["port"].fail("the port must be 1 to 65535");
            }
        }
        if (mqtt) {
            mqttSettings(item, &c);
        } else {
            if (item["unit"].exists()) {
                c.unit = static_cast<int>(item["unit"].toInteger(INT32_MIN, INT32_MAX));
            }
            if (item["poll"].exists()) {
                c.poll = item["poll"].toNumber();
            }
            if (item["timeout"].exists()) {
                c.timeout = item["timeout"].toNumber();
            }
        }
        if (const Problem problem = checkConnection(c)) {
            failProblem(item, problem);
        }
        unique(m_connections, c.name, name, "connection '" + c.name + "'");
        return c;
    }

    static void mqttSettings(const Node& item, ConnectionDef* c) {
        if (item["clientId"].exists()) {
            c->clientId = item["clientId"].toText();
        }
        if (item["keepAlive"].exists()) {
            c->keepAlive = static_cast<int>(item["keepAlive"].toInteger(INT32_MIN, INT32_MAX));
        }
        if (item["username"].exists()) {
            c->hasCredentials = true;
            c->username = item["username"].toText();
        }
        if (item["password"].exists()) {
            if (!c->hasCredentials) {
                item["password"].failAtKey("\"password\" needs \"username\"");
            }
            c->password = item["password"].toText();
        }
        const Node tls = item["tls"];
        if (!tls.exists()) {
            return;
        }
        tls.expectObject();
        tls.allowOnly({"ca", "cert", "key"}, "the TLS settings");
        if (!tls["ca"].exists()) {
            tls.fail("'tls' needs \"ca\": the file of the certificate authority");
        }
        c->tls = true;
        c->tlsCa = tls["ca"].toText();
        for (const auto& [key, other] : {std::pair<const char*, const char*>{"cert", "key"},
                                         std::pair<const char*, const char*>{"key", "cert"}}) {
            if (tls[key].exists() && !tls[other].exists()) {
                tls[key].failAtKey(std::string("\"") + key + "\" needs \"" + other + "\"");
            }
        }
        if (tls["cert"].exists()) {
            c->tlsCert = tls["cert"].toText();
            c->tlsKey = tls["key"].toText();
        }
    }

    TagSource source(const Node& node, const Project& project) {
        node.expectObject();
        TagSource s;
        const Node connectionNode = node["connection"];
        if (!connectionNode.exists()) {
            node.fail("a source needs \"connection\": the name of one of the connections");
        }
        s.connection = connectionNode.toText();
        const ConnectionDef* connection = project.connection(s.connection);
        if (!connection) {
            connectionNode.fail("no connection '" + s.connection + "' in the project");
        }
        const bool mqtt = connection->kind == ConnectionDef::Kind::Mqtt;
        const std::string what = mqtt ? "an MQTT source" : "a Modbus source";
        allowKind(node, {"connection"}, mqtt ? kMqttSourceMembers : kModbusSourceMembers,
                  mqtt ? kModbusSourceMembers : kMqttSourceMembers, what,
                  mqtt ? "a Modbus source" : "an MQTT source");
        if (mqtt) {
            if (!node["topic"].exists()) {
                node.fail("an MQTT source needs \"topic\"");
            }
            s.topic = node["topic"].toText();
            if (node["writeTopic"].exists()) {
                s.writeTopic = node["writeTopic"].toText();
            }
            if (node["payload"].exists()) {
                payload(node["payload"], &s);
            }
            if (node["qos"].exists()) {
                s.qos = static_cast<int>(node["qos"].toInteger(INT32_MIN, INT32_MAX));
            }
            if (node["retain"].exists()) {
                s.retain = node["retain"].toBool();
            }
            return s;
        }
        if (node["table"].exists()) {
            s.table = readEnum(node["table"], kTables, "table");
        }
        if (!node["address"].exists()) {
            node.fail("a Modbus source needs \"address\"");
        }
        s.address = static_cast<int>(node["address"].toInteger(INT32_MIN, INT32_MAX));
        s.type = node["type"].exists() ? readEnum(node["type"], kRegisterTypes, "type")
                                       : defaultType(s.table);
        if (node["wordOrder"].exists()) {
            s.littleWordOrder = readEnum(node["wordOrder"], kWordOrders, "word order");
        }
        const std::pair<const char*, double*> numbers[] = {{"scale", &s.scale},
                                                           {"offset", &s.offset}};
        for (const auto& [key, field] : numbers) {
            if (node[key].exists()) {
                *field = node[key].toNumber();
            }
        }
        if (node["writable"].exists()) {
            s.writable = node["writable"].toBool();
        }
        return s;
    }

    static void payload(const Node& node, TagSource* s) {
        if (node.isObject()) {
            node.allowOnly({"json"}, "a JSON payload");
            if (!node["json"].exists()) {
                node.fail("a JSON payload needs \"json\": the member as a JSON pointer, such as "
                          "\"/level\"");
            }
            s->payload = TagSource::Payload::Json;
            s->jsonPointer = node["json"].toText();
            return;
        }
        const std::string text = node.isString() ? node.toText() : std::string();
        for (const EnumName<TagSource::Payload>& candidate : kPayloads) {
            if (text == candidate.name) {
                s->payload = candidate.value;
                return;
            }
        }
        node.fail("'payload' must be \"number\", \"text\" or {\"json\": \"/member\"}, found " +
                  (node.isString() ? "\"" + text + "\"" : node.kindName()));
    }

    TagDef tag(const Node& item, const Project& project) {
        item.expectObject();
        item.allowOnly({"name", "type", "initial", "simulation", "source"}, "a tag");
        TagDef tag;
        const Node name = item["name"];
        if (!name.exists()) {
            item.fail("a tag needs \"name\"");
        }
        tag.name = name.toText();
        const Node type = item["type"];
        if (type.exists()) {
            const std::string text = type.toText();
            bool known = false;
            for (const TagTypeName& candidate : kTagTypes) {
                if (text == candidate.name) {
                    tag.type = candidate.type;
                    known = true;
                }
            }
            if (!known) {
                type.fail("unknown tag type '" + text + "' (expected int, float or string)");
            }
        }
        const Node initial = item["initial"];
        if (initial.exists()) {
            if (tag.type == VarType::String) {
                if (!initial.isString()) {
                    initial.fail("the initial value of a string tag must be a string, found " +
                                 initial.kindName());
                }
                tag.text = initial.toText();
            } else {
                tag.number = initial.toNumber();
            }
        }
        if (item["simulation"].exists()) {
            tag.simulation = simulation(item["simulation"]);
        }
        // A live tag's simulation is what it shows when the project runs without its
        // connections (render, trace, run) and what `kestro simulate` plays for the plant.
        if (item["source"].exists()) {
            tag.source = source(item["source"], project);
        }
        if (const Problem problem = checkTag(tag)) {
            failProblem(item, problem);
        }
        if (const Problem problem = checkSource(tag, project.connection(tag.source.connection))) {
            failProblem(item, problem);
        }
        for (const ConnectionDef& connection : project.connections) {
            for (const TagDef& status : statusTags(connection)) {
                if (status.name == tag.name) {
                    name.fail("'" + tag.name + "' is the name of a status tag of the connection '" +
                              connection.name + "'");
                }
            }
        }
        unique(m_tags, tag.name, name, "tag '" + tag.name + "'");
        return tag;
    }

    StrategyDef strategy(const Node& item, const Project& project) {
        item.expectObject();
        item.allowOnly({"number", "name", "actions"}, "a strategy");
        StrategyDef strategy;
        const Node number = item["number"];
        if (!number.exists()) {
            item.fail("a strategy needs \"number\"");
        }
        strategy.number = static_cast<int>(number.toInteger(INT32_MIN, INT32_MAX));
        unique(m_strategies, std::to_string(strategy.number), number,
               "strategy number " + std::to_string(strategy.number));
        if (item["name"].exists()) {
            strategy.name = item["name"].toText();
        }
        if (item["actions"].exists()) {
            for (const Node& node : item["actions"].items()) {
                strategy.actions.push_back(action(node, project));
            }
        }
        return strategy;
    }

    StrategyAction action(const Node& node, const Project& project) {
        node.expectObject();
        node.allowOnly({"action", "tag", "value"}, "a strategy action");
        StrategyAction action;
        const Node kind = node["action"];
        if (!kind.exists()) {
            node.fail("a strategy action needs \"action\": set, toggle or add");
        }
        bool known = false;
        for (const ActionKindName& candidate : kActionKinds) {
            if (kind.toText() == candidate.name) {
                action.kind = candidate.kind;
                known = true;
            }
        }
        if (!known) {
            kind.fail("unknown action '" + kind.toText() + "' (expected set, toggle or add)");
        }
        const Node tagNode = node["tag"];
        if (!tagNode.exists()) {
            node.fail("a strategy action needs \"tag\"");
        }
        action.tag = tagNode.toText();
        const int index = project.tagIndex(action.tag);
        const TagDef* tag = index >= 0 ? &project.tags[static_cast<size_t>(index)] : nullptr;
        const Node value = node["value"];
        if (action.kind == StrategyAction::Kind::Toggle) {
            if (value.exists()) {
                value.failAtKey("a toggle takes no value");
            }
        } else if (!value.exists()) {
            node.fail("'" + kind.toText() + "' needs \"value\"");
        } else if (tag && tag->type == VarType::String && value.isString()) {
            action.text = value.toText();
        } else if (tag && tag->type != VarType::String && !value.isNumber()) {
            value.fail("the " + tagTypeName(tag->type) + " tag '" + tag->name +
                       "' needs a number, found " + value.kindName());
        } else if (value.isNumber()) {
            action.number = value.toNumber();
        } else if (tag) {
            value.fail("the string tag '" + tag->name + "' needs a string, found " +
                       value.kindName());
        }
        if (const Problem problem = checkAction(action, tag)) {
            failProblem(node, problem);
        }
        return action;
    }

    static std::string tagTypeName(VarType type) {
        for (const TagTypeName& candidate : kTagTypes) {
            if (candidate.type == type) {
                return candidate.name;
            }
        }
        return "";
    }

    WindowDef window(const Node& item, const ScreenContext& context) {
        item.expectObject();
        item.allowOnly({"number", "name", "size", "width", "height", "background", "objects"},
                       "a window");
        WindowDef window;
        const Node number = item["number"];
        if (!number.exists()) {
            item.fail("a window needs \"number\"");
        }
        window.number = static_cast<int>(number.toInteger(INT32_MIN, INT32_MAX));
        if (item["name"].exists()) {
            window.name = item["name"].toText();
        }
        window.width = kDefaultWidth;
        window.height = kDefaultHeight;
        const Node size = item["size"];
        if (size.exists()) {
            if (item["width"].exists() || item["height"].exists()) {
                size.failAtKey("give 'size' or 'width' and 'height', not both");
            }
            const std::vector<Node> wh = size.items();
            if (wh.size() != 2) {
                size.fail("'size' must be [width, height]");
            }
            window.width = static_cast<int>(wh[0].toInteger(INT32_MIN, INT32_MAX));
            window.height = static_cast<int>(wh[1].toInteger(INT32_MIN, INT32_MAX));
        }
        if (item["width"].exists()) {
            window.width = static_cast<int>(item["width"].toInteger(INT32_MIN, INT32_MAX));
        }
        if (item["height"].exists()) {
            window.height = static_cast<int>(item["height"].toInteger(INT32_MIN, INT32_MAX));
        }
        if (item["background"].exists()) {
            window.background = item["background"].toColor();
        }
        if (const Problem problem = checkWindowFrame(window)) {
            const Node field = problem.field == "size" && !size.exists()
                                   ? (item["width"].exists() ? item["width"] : item["height"])
                                   : item[problem.field];
            (field.exists() ? field : item).fail(problem.message);
        }
        unique(m_windows, std::to_string(window.number), number,
               "window number " + std::to_string(window.number));
        std::string where = "window " + std::to_string(window.number);
        if (!window.name.empty()) {
            where += " '" + window.name + "'";
        }
        if (item["objects"].exists()) {
            const std::vector<Node> objects = item["objects"].items();
            for (size_t i = 0; i < objects.size(); ++i) {
                window.objects.push_back(compileObject(objects[i], context, where, i));
            }
        }
        return window;
    }

    const JsonSource& m_source;
    std::map<std::string, size_t> m_languages;
    std::map<std::string, size_t> m_connections;
    std::map<std::string, size_t> m_tags;
    std::map<std::string, size_t> m_strategies;
    std::map<std::string, size_t> m_windows;
};

// ---- dumping ----

bool sameSimulation(const Simulation& a, const Simulation& b) {
    return a.kind == b.kind && a.period == b.period && a.low == b.low && a.high == b.high &&
           a.step == b.step && a.seed == b.seed && a.steps == b.steps;
}

JsonOut simulationJson(const Simulation& s) {
    const Simulation d;
    JsonOut out = JsonOut::object();
    for (const SimulationKindName& candidate : kSimulationKinds) {
        if (candidate.kind == s.kind) {
            out.add("kind", JsonOut::string(candidate.name));
        }
    }
    const std::tuple<const char*, double, double> numbers[] = {{"period", s.period, d.period},
                                                               {"low", s.low, d.low},
                                                               {"high", s.high, d.high},
                                                               {"step", s.step, d.step}};
    for (const auto& [key, value, standard] : numbers) {
        if (value != standard) {
            out.add(key, JsonOut::number(value));
        }
    }
    if (s.seed != d.seed) {
        out.add("seed", JsonOut::integer(s.seed));
    }
    if (!s.steps.empty()) {
        JsonOut steps = JsonOut::array();
        for (const auto& [time, value] : s.steps) {
            steps.push(JsonOut::array().push(JsonOut::number(time)).push(JsonOut::number(value)));
        }
        out.add("steps", std::move(steps));
    }
    return out;
}

JsonOut connectionJson(const ConnectionDef& c) {
    const ConnectionDef d;
    JsonOut out = JsonOut::object();
    out.add("name", JsonOut::string(c.name));
    out.add("kind", JsonOut::string(nameOf(kConnectionKinds, c.kind)));
    if (c.host != d.host) {
        out.add("host", JsonOut::string(c.host));
    }
    if (c.port != d.port) {
        out.add("port", JsonOut::integer(c.port));
    }
    if (c.kind == ConnectionDef::Kind::ModbusTcp) {
        if (c.unit != d.unit) {
            out.add("unit", JsonOut::integer(c.unit));
        }
        if (c.poll != d.poll) {
            out.add("poll", JsonOut::number(c.poll));
        }
        if (c.timeout != d.timeout) {
            out.add("timeout", JsonOut::number(c.timeout));
        }
        return out;
    }
    if (!c.clientId.empty()) {
        out.add("clientId", JsonOut::string(c.clientId));
    }
    if (c.keepAlive != d.keepAlive) {
        out.add("keepAlive", JsonOut::integer(c.keepAlive));
    }
    if (c.hasCredentials) {
        out.add("username", JsonOut::string(c.username));
        if (!c.password.empty()) {
            out.add("password", JsonOut::string(c.password));
        }
    }
    if (c.tls) {
        JsonOut tls = JsonOut::object();
        tls.add("ca", JsonOut::string(c.tlsCa));
        if (!c.tlsCert.empty()) {
            tls.add("cert", JsonOut::string(c.tlsCert));
            tls.add("key", JsonOut::string(c.tlsKey));
        }
        out.add("tls", std::move(tls));
    }
    return out;
}

JsonOut sourceJson(const TagSource& s, const ConnectionDef* connection) {
    const TagSource d;
    JsonOut out = JsonOut::object();
    out.add("connection", JsonOut::string(s.connection));
    if (connection && connection->kind == ConnectionDef::Kind::ModbusTcp) {
        if (s.table != d.table) {
            out.add("table", JsonOut::string(nameOf(kTables, s.table)));
        }
        out.add("address", JsonOut::integer(s.address));
        if (s.type != defaultType(s.table)) {
            out.add("type", JsonOut::string(nameOf(kRegisterTypes, s.type)));
        }
        if (s.littleWordOrder) {
            out.add("wordOrder", JsonOut::string(nameOf(kWordOrders, true)));
        }
        if (s.scale != d.scale) {
            out.add("scale", JsonOut::number(s.scale));
        }
        if (s.offset != d.offset) {
            out.add("offset", JsonOut::number(s.offset));
        }
        if (s.writable) {
            out.add("writable", JsonOut::boolean(true));
        }
        return out;
    }
    out.add("topic", JsonOut::string(s.topic));
    if (!s.writeTopic.empty()) {
        out.add("writeTopic", JsonOut::string(s.writeTopic));
    }
    if (s.payload == TagSource::Payload::Json) {
        out.add("payload", JsonOut::object().add("json", JsonOut::string(s.jsonPointer)));
    } else if (s.payload != d.payload) {
        out.add("payload", JsonOut::string(nameOf(kPayloads, s.payload)));
    }
    if (s.qos != d.qos) {
        out.add("qos", JsonOut::integer(s.qos));
    }
    if (s.retain) {
        out.add("retain", JsonOut::boolean(true));
    }
    return out;
}

JsonOut tagJson(const TagDef& tag, const Project& project) {
    JsonOut out = JsonOut::object();
    out.add("name", JsonOut::string(tag.name));
    for (const TagTypeName& candidate : kTagTypes) {
        if (candidate.type == tag.type && tag.type != VarType::Float) {
            out.add("type", JsonOut::string(candidate.name));
        }
    }
    if (tag.type == VarType::String && !tag.text.empty()) {
        out.add("initial", JsonOut::string(tag.text));
    } else if (tag.type != VarType::String && tag.number != 0.0) {
        out.add("initial", JsonOut::number(tag.number));
    }
    if (!sameSimulation(tag.simulation, Simulation{})) {
        out.add("simulation", simulationJson(tag.simulation));
    }
    if (tag.source.live()) {
        out.add("source", sourceJson(tag.source, project.connection(tag.source.connection)));
    }
    return out;
}

JsonOut strategyJson(const StrategyDef& strategy, const Project& project) {
    JsonOut out = JsonOut::object();
    out.add("number", JsonOut::integer(strategy.number));
    if (!strategy.name.empty()) {
        out.add("name", JsonOut::string(strategy.name));
    }
    JsonOut actions = JsonOut::array();
    for (const StrategyAction& action : strategy.actions) {
        JsonOut item = JsonOut::object();
        for (const ActionKindName& candidate : kActionKinds) {
            if (candidate.kind == action.kind) {
                item.add("action", JsonOut::string(candidate.name));
            }
        }
        item.add("tag", JsonOut::string(action.tag));
        if (action.kind != StrategyAction::Kind::Toggle) {
            const int index = project.tagIndex(action.tag);
            const bool isString =
                index >= 0 && project.tags[static_cast<size_t>(index)].type == VarType::String;
            item.add("value",
                     isString ? JsonOut::string(action.text) : JsonOut::number(action.number));
        }
        actions.push(std::move(item));
    }
    out.add("actions", std::move(actions));
    return out;
}

JsonOut windowJson(const WindowDef& window, const ScreenContext& context) {
    JsonOut out = JsonOut::object();
    out.add("number", JsonOut::integer(window.number));
    if (!window.name.empty()) {
        out.add("name", JsonOut::string(window.name));
    }
    out.add("size", JsonOut::array()
                        .push(JsonOut::integer(window.width))
                        .push(JsonOut::integer(window.height)));
    if (window.background != kDefaultBackground) {
        out.add("background", JsonOut::string(colorText(window.background)));
    }
    JsonOut objects = JsonOut::array();
    for (const ObjectDef& object : window.objects) {
        objects.push(dumpObject(object, context));
    }
    out.add("objects", std::move(objects));
    return out;
}

} // namespace

bool compileProjectJson(const std::string& json, const std::string& fileName, Project* out,
                        ProjectError* error) {
    JsonSource source;
    ProjectError ignored;
    ProjectError* report = error ? error : &ignored;
    if (!source.parse(json, fileName, report)) {
        return false;
    }
    Project project;
    try {
        project = ProjectCompiler(source).compile(source.root());
    } catch (const SourceFailure& failure) {
        *report = source.errorAt(failure.offset, failure.message);
        return false;
    } catch (const std::exception& failure) {
        *report = ProjectError{fileName, 0, 0, failure.what()};
        return false;
    }
    // The compiler checks each rule where it reads the field; this is the same set once more.
    std::string message;
    if (!checkProject(project, &message)) {
        *report = ProjectError{fileName, 0, 0, message};
        return false;
    }
    if (out) {
        *out = std::move(project);
    }
    return true;
}

std::string dumpProjectJson(const Project& project) {
    JsonOut root = JsonOut::object();
    root.add("version", JsonOut::string(dotted(project.version)));
    if (project.version.text != dotted(project.version)) {
        root.add("versionText", JsonOut::string(project.version.text));
    }
    if (!project.language.empty()) {
        root.add("language", JsonOut::string(project.language));
    }
    const int firstWindow = project.windows.empty() ? 0 : project.windows.front().number;
    if (project.startWindow != firstWindow) {
        root.add("startWindow", JsonOut::integer(project.startWindow));
    }
    if (!project.languages.empty()) {
        JsonOut languages = JsonOut::array();
        for (const LanguageDef& language : project.languages) {
            JsonOut texts = JsonOut::object();
            for (const auto& [key, text] : language.texts) {
                texts.add(key, JsonOut::string(text));
            }
            languages.push(JsonOut::object()
                               .add("name", JsonOut::string(language.name))
                               .add("texts", std::move(texts)));
        }
        root.add("languages", std::move(languages));
    }
    if (!project.connections.empty()) {
        JsonOut connections = JsonOut::array();
        for (const ConnectionDef& connection : project.connections) {
            connections.push(connectionJson(connection));
        }
        root.add("connections", std::move(connections));
    }
    // The status tags are the compiler's own: it adds them again.
    JsonOut tags = JsonOut::array();
    for (const TagDef& tag : project.tags) {
        if (tag.status.what == ConnectionStatus::What::None) {
            tags.push(tagJson(tag, project));
        }
    }
    if (!tags.empty()) {
        root.add("tags", std::move(tags));
    }
    if (!project.strategies.empty()) {
        JsonOut strategies = JsonOut::array();
        for (const StrategyDef& strategy : project.strategies) {
            strategies.push(strategyJson(strategy, project));
        }
        root.add("strategies", std::move(strategies));
    }
    const TagTable table(project.tags);
    const ScreenContext context{headerForm(project.version), &table};
    JsonOut windows = JsonOut::array();
    for (const WindowDef& window : project.windows) {
        windows.push(windowJson(window, context));
    }
    root.add("windows", std::move(windows));
    return root.text();
}

} // namespace kestro
