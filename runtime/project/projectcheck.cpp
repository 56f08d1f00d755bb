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

// What MQTT carries as a string: a two-byte length, and never U+0000.
constexpr size_t kMaxMqttString = 65535;

//! The rule every text of a connection or a source keeps: the dump writes it as JSON text, and
//! neither a socket nor a file name can carry a NUL.
bool isPlainText(const std::string& text) {
    return text.find('\0') == std::string::npos && isValidUtf8(text);
}

Problem checkTopic(const std::string& topic, const std::string& field) {
    if (topic.empty()) {
        return {field, "a topic must not be empty"};
    }
    if (topic.find_first_of("+#") != std::string::npos) {
        return {field, "a topic must not contain the wildcards '+' and '#'"};
    }
    if (!isPlainText(topic)) {
        return {field, "a topic must be UTF-8 without NUL characters"};
    }
    if (topic.size() > kMaxMqttString) {
        return {field, "a topic must not be longer than 65535 bytes"};
    }
    return {};
}

// RFC 6901: "" (the whole document) or "/"-separated members, '~' only in "~0" and "~1".
bool isJsonPointer(const std::string& pointer) {
    if (!pointer.empty() && pointer[0] != '/') {
        return false;
    }
    for (size_t i = 0; i < pointer.size(); ++i) {
        if (pointer[i] == '~' &&
            (i + 1 == pointer.size() || (pointer[i + 1] != '0' && pointer[i + 1] != '1'))) {
            return false;
        }
    }
    return true;
}

bool isRegisterTable(TagSource::Table table) {
    return table == TagSource::Table::Holding || table == TagSource::Table::Input;
}

bool isWide(TagSource::Type type) {
    return type == TagSource::Type::Int32 || type == TagSource::Type::UInt32 ||
           type == TagSource::Type::Float32;
}

bool hasMqttSettings(const TagSource& s) {
    const TagSource d;
    return !s.topic.empty() || s.payload != d.payload || !s.jsonPointer.empty() ||
           !s.writeTopic.empty() || s.qos != d.qos || s.retain != d.retain;
}

bool hasModbusSettings(const TagSource& s) {
    const TagSource d;
    return s.table != d.table || s.address != d.address || s.type != d.type ||
           s.littleWordOrder != d.littleWordOrder || s.scale != d.scale || s.offset != d.offset ||
           s.writable != d.writable;
}

bool isSimulated(const Simulation& s) {
    const Simulation d;
    return s.kind != d.kind || s.period != d.period || s.low != d.low || s.high != d.high ||
           s.step != d.step || s.seed != d.seed || !s.steps.empty();
}

bool sameTag(const TagDef& a, const TagDef& b) {
    return a.name == b.name && a.type == b.type && a.number == b.number && a.text == b.text &&
           !isSimulated(a.simulation) && !a.source.live() && !hasMqttSettings(a.source) &&
           !hasModbusSettings(a.source) && a.status.what == b.status.what &&
           a.status.connection == b.status.connection;
}

Problem checkMqttSource(const TagDef& tag) {
    const TagSource& s = tag.source;
    if (hasModbusSettings(s)) {
        return {"source", "an MQTT source has no Modbus settings"};
    }
    if (const Problem problem = checkTopic(s.topic, "source/topic")) {
        return problem;
    }
    if (!s.writeTopic.empty()) {
        if (const Problem problem = checkTopic(s.writeTopic, "source/writeTopic")) {
            return problem;
        }
    }
    const bool isString = tag.type == VarType::String;
    switch (s.payload) {
    case TagSource::Payload::Number:
        if (isString) {
            return {"source/payload", "a number payload needs an int or float tag"};
        }
        break;
    case TagSource::Payload::Text:
        if (!isString) {
            return {"source/payload", "a text payload needs a string tag"};
        }
        break;
    case TagSource::Payload::Json:
        if (!isJsonPointer(s.jsonPointer) || !isValidUtf8(s.jsonPointer)) {
            return {"source/payload/json",
                    "'" + s.jsonPointer +
                        "' is no JSON pointer: \"\" or \"/member/...\", '~' only as ~0 or ~1"};
        }
        break;
    }
    if (s.payload != TagSource::Payload::Json && !s.jsonPointer.empty()) {
        return {"source/payload", "only a JSON payload names a member"};
    }
    if (s.qos != 0 && s.qos != 1) {
        return {"source/qos", "qos must be 0 or 1"};
    }
    if (s.retain && s.writeTopic.empty()) {
        return {"source/retain", "retain is about writes: it needs \"writeTopic\""};
    }
    return {};
}

Problem checkModbusSource(const TagDef& tag) {
    const TagSource& s = tag.source;
    if (hasMqttSettings(s)) {
        return {"source", "a Modbus source has no MQTT settings"};
    }
    if (tag.type == VarType::String) {
        return {"source", "a Modbus source cannot feed a string tag"};
    }
    if (s.address < 0 || s.address > 0xFFFF) {
        return {"source/address", "the address must be 0 to 65535"};
    }
    if (isWide(s.type) && s.address == 0xFFFF) {
        return {"source/address", "a 32-bit value takes two registers: the address must be at "
                                  "most 65534"};
    }
    if (isRegisterTable(s.table) && s.type == TagSource::Type::Bool) {
        return {"source/type", "registers hold numbers: \"bool\" is for coils and discrete "
                               "inputs"};
    }
    if (!isRegisterTable(s.table) && s.type != TagSource::Type::Bool) {
        return {"source/type", "coils and discrete inputs hold \"bool\" only"};
    }
    if (s.writable &&
        (s.table == TagSource::Table::Input || s.table == TagSource::Table::Discrete)) {
        return {"source/writable", "input registers and discrete inputs cannot be written"};
    }
    if (!std::isfinite(s.scale) || s.scale == 0.0) {
        return {"source/scale", "the scale must be a finite number other than 0"};
    }
    if (!std::isfinite(s.offset)) {
        return {"source/offset", "the offset must be a finite number"};
    }
    return {};
}

} // namespace

bool isConnectionName(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) {
        return false;
    }
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_') {
            return false;
        }
    }
    return true;
}

Problem checkConnection(const ConnectionDef& c) {
    if (!isConnectionName(c.name)) {
        return {"name", "'" + c.name +
                            "' is no valid connection name: ASCII letters, digits and '_', not "
                            "starting with a digit"};
    }
    if (c.host.empty()) {
        return {"host", "the host must not be empty"};
    }
    for (unsigned char ch : c.host) {
        if (ch <= ' ' || ch == 0x7F) {
            return {"host", "the host must not contain blanks or control characters"};
        }
    }
    if (!isValidUtf8(c.host)) {
        return {"host", "the host is not UTF-8"};
    }
    if (c.port < 0 || c.port > 0xFFFF) {
        return {"port", "the port must be 1 to 65535"};
    }
    const ConnectionDef d;
    const bool mqtt = c.kind == ConnectionDef::Kind::Mqtt;
    const bool mqttSettings = !c.clientId.empty() || c.keepAlive != d.keepAlive ||
                              c.hasCredentials || !c.username.empty() || !c.password.empty() ||
                              c.tls || !c.tlsCa.empty() || !c.tlsCert.empty() || !c.tlsKey.empty();
    const bool modbusSettings = c.unit != d.unit || c.poll != d.poll || c.timeout != d.timeout;
    if (mqtt && modbusSettings) {
        return {"", "an MQTT connection has no Modbus settings"};
    }
    if (!mqtt && mqttSettings) {
        return {"", "a Modbus TCP connection has no MQTT settings"};
    }
    if (mqtt) {
        const std::pair<const char*, const std::string*> texts[] = {
            {"clientId", &c.clientId}, {"username", &c.username}, {"password", &c.password}};
        for (const auto& [field, text] : texts) {
            if (!isPlainText(*text) || text->size() > kMaxMqttString) {
                return {field, std::string("'") + field +
                                   "' must be UTF-8 without NUL characters, at most 65535 bytes"};
            }
        }
        if (c.keepAlive < 5 || c.keepAlive > 0xFFFF) {
            return {"keepAlive", "the keep-alive must be 5 to 65535 seconds"};
        }
        if (!c.hasCredentials && !c.password.empty()) {
            return {"password", "a password needs a username"};
        }
        if (!c.hasCredentials && !c.username.empty()) {
            return {"username", "a username without credentials"};
        }
        if (!c.tls && (!c.tlsCa.empty() || !c.tlsCert.empty() || !c.tlsKey.empty())) {
            return {"tls", "certificate files need TLS"};
        }
        const std::pair<const char*, const std::string*> files[] = {
            {"tls/ca", &c.tlsCa}, {"tls/cert", &c.tlsCert}, {"tls/key", &c.tlsKey}};
        for (const auto& [field, text] : files) {
            if (!isPlainText(*text)) {
                return {field, "a file name must be UTF-8 without NUL characters"};
            }
        }
        if (c.tls && c.tlsCa.empty()) {
            return {"tls/ca", "the certificate authority file must not be empty"};
        }
        if (c.tlsCert.empty() != c.tlsKey.empty()) {
            return {c.tlsCert.empty() ? "tls/key" : "tls/cert",
                    "a client certificate and its key come together"};
        }
        return {};
    }
    if (c.unit < 0 || c.unit > 255) {
        return {"unit", "the unit must be 0 to 255"};
    }
    const std::pair<const char*, double> times[] = {{"poll", c.poll}, {"timeout", c.timeout}};
    for (const auto& [field, seconds] : times) {
        if (!std::isfinite(seconds) || seconds <= 0.0 || seconds > 3600.0) {
            return {field, std::string("'") + field +
                               "' must be a number of seconds above 0 and at most 3600"};
        }
    }
    return {};
}

Problem checkSource(const TagDef& tag, const ConnectionDef* connection) {
    const TagSource& s = tag.source;
    if (!s.live()) {
        if (hasMqttSettings(s) || hasModbusSettings(s)) {
            return {"source", "a source needs a connection"};
        }
        return {};
    }
    if (!connection) {
        return {"source/connection", "no connection '" + s.connection + "' in the project"};
    }
    return connection->kind == ConnectionDef::Kind::Mqtt ? checkMqttSource(tag)
                                                         : checkModbusSource(tag);
}

std::vector<TagDef> statusTags(const ConnectionDef& connection) {
    std::vector<TagDef> tags(2);
    tags[0].name = connection.name + ".connected";
    tags[0].status.what = ConnectionStatus::What::Connected;
    tags[1].name = connection.name + ".errors";
    tags[1].status.what = ConnectionStatus::What::Errors;
    for (TagDef& tag : tags) {
        tag.type = VarType::Int;
        tag.status.connection = connection.name;
    }
    return tags;
}

void appendStatusTags(Project& project) {
    for (const ConnectionDef& connection : project.connections) {
        for (TagDef& tag : statusTags(connection)) {
            project.tags.push_back(std::move(tag));
        }
    }
}

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
    if (tag->status.what != ConnectionStatus::What::None) {
        return {"tag", "the status tag '" + tag->name + "' is set by its connection only"};
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
    std::set<std::string> connectionNames;
    for (const ConnectionDef& connection : project.connections) {
        if (const Problem problem = checkConnection(connection)) {
            return refuse("connection '" + connection.name + "': " + problem.message);
        }
        if (!connectionNames.insert(connection.name).second) {
            return refuse("duplicate connection name '" + connection.name + "'");
        }
    }
    // The status tags close the list, two for each connection in its order.
    const size_t statusCount = 2 * project.connections.size();
    if (project.tags.size() < statusCount) {
        return refuse("the status tags of the connections are missing");
    }
    const size_t declared = project.tags.size() - statusCount;
    std::set<std::string> tagNames;
    for (size_t i = 0; i < project.tags.size(); ++i) {
        const TagDef& tag = project.tags[i];
        if (const Problem problem = checkTag(tag)) {
            return refuse("tag '" + tag.name + "': " + problem.message);
        }
        if (!tagNames.insert(tag.name).second) {
            return refuse("duplicate tag name '" + tag.name + "'");
        }
        if (i < declared) {
            if (tag.status.what != ConnectionStatus::What::None) {
                return refuse("tag '" + tag.name +
                              "': only a connection's own status tags "
                              "have a status");
            }
            const Problem problem = checkSource(tag, project.connection(tag.source.connection));
            if (problem) {
                return refuse("tag '" + tag.name + "': " + problem.message);
            }
            continue;
        }
        const size_t k = i - declared;
        if (!sameTag(tag, statusTags(project.connections[k / 2])[k % 2])) {
            return refuse("tag '" + tag.name + "': the connection '" +
                          project.connections[k / 2].name + "' needs its status tags here");
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
