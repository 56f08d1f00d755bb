// Connections and live tag sources: every mistake named where it is, the status tags, the
// container and the dump, a connection pointed elsewhere.
#include "runtime/project/projectio.h"

#include "runtime/script/compiler.h"
#include "tests/support/projecttestutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>

using namespace kestro;
using projecttest::compiled;

namespace {

//! A connection "a" of the kind, with the members after its name and kind.
std::string mqtt(const std::string& members) {
    return R"({"name": "a", "kind": "mqtt", )" + members + "}";
}
std::string modbus(const std::string& members) {
    return R"({"name": "a", "kind": "modbusTcp", )" + members + "}";
}

//! '@' in `where` marks the character the error must point at.
struct Mistake {
    std::string where;
    std::string message;
};

const std::string kBadName =
    "is no valid connection name: ASCII letters, digits and '_', not starting with a digit";
const std::string kNoPointer = R"(is no JSON pointer: "" or "/member/...", '~' only as ~0 or ~1)";
const std::string kWildcard = "a topic must not contain the wildcards '+' and '#'";

// clang-format off
const Mistake kConnectionMistakes[] = {
    {R"(@{"kind": "mqtt"})", R"(a connection needs "name")"},
    {R"(@{"name": "a"})", R"(a connection needs "kind": mqtt or modbusTcp)"},
    {R"({"name": "a", "kind": @"opcua"})", "unknown connection kind 'opcua' (expected mqtt or modbusTcp)"},
    {R"({"name": @"1plc", "kind": "mqtt"})", "'1plc' " + kBadName},
    {R"({"name": @"a.b", "kind": "mqtt"})", "'a.b' " + kBadName},
    {R"({"name": "a", "kind": "mqtt"}, {"name": @"a", "kind": "modbusTcp"})",
     "duplicate connection 'a' (the first is at line 3, column 14)"},
    {mqtt(R"("host": @"")"), "the host must not be empty"},
    {mqtt(R"("host": @"plc 1")"), "the host must not contain blanks or control characters"},
    {mqtt(R"("port": @0)"), "the port must be 1 to 65535"},
    {modbus(R"("port": @65536)"), "the port must be 1 to 65535"},
    {mqtt(R"("keepAlive": @0)"), "the keep-alive must be 5 to 65535 seconds"},
    {mqtt(R"("clientId": @"a\u0000")"), "'clientId' must be UTF-8 without NUL characters, at most 65535 bytes"},
    {mqtt(R"(@"password": "x")"), R"("password" needs "username")"},
    {mqtt(R"("tls": @{"cert": "c", "key": "k"})"), R"('tls' needs "ca": the file of the certificate authority)"},
    {mqtt(R"("tls": {"ca": "c", @"cert": "c"})"), R"("cert" needs "key")"},
    {mqtt(R"("tls": {"ca": @""})"), "the certificate authority file must not be empty"},
    {modbus(R"("unit": @256)"), "the unit must be 0 to 255"},
    {modbus(R"("poll": @0)"), "'poll' must be a number of seconds above 0 and at most 3600"},
    {modbus(R"("timeout": @3600.5)"), "'timeout' must be a number of seconds above 0 and at most 3600"},
    {modbus(R"(@"keepAlive": 10)"), "'keepAlive' belongs to an MQTT connection, not to a Modbus TCP connection"},
    {mqtt(R"(@"unit": 1)"), "'unit' belongs to a Modbus TCP connection, not to an MQTT connection"},
    {mqtt(R"(@"qos": 1)"), "unknown field 'qos' in an MQTT connection"},
};

// Tags "T" on the connections broker (MQTT) and plc1 (Modbus TCP).
const Mistake kTagMistakes[] = {
    {R"("source": @{"topic": "a"})", R"(a source needs "connection": the name of one of the connections)"},
    {R"("source": {"connection": @"plc2", "address": 1})", "no connection 'plc2' in the project"},
    {R"("source": {"connection": "broker", "topic": "a", @"address": 1})", "'address' belongs to a Modbus source, not to an MQTT source"},
    {R"("source": {"connection": "plc1", "address": 1, @"qos": 1})", "'qos' belongs to an MQTT source, not to a Modbus source"},
    {R"("source": @{"connection": "broker"})", R"(an MQTT source needs "topic")"},
    {R"("source": {"connection": "broker", "topic": @""})", "a topic must not be empty"},
    {R"("source": {"connection": "broker", "topic": @"a/+/b"})", kWildcard},
    {R"("source": {"connection": "broker", "topic": "a", "writeTopic": @"a/#"})", kWildcard},
    {R"("source": {"connection": "broker", "topic": @"a\u0000"})", "a topic must be UTF-8 without NUL characters"},
    {R"("source": {"connection": "broker", "topic": "a", "payload": @"text"})", "a text payload needs a string tag"},
    {R"("type": "string", "source": @{"connection": "broker", "topic": "a"})", "a number payload needs an int or float tag"},
    {R"("source": {"connection": "broker", "topic": "a", "payload": @"xml"})",
     R"('payload' must be "number", "text" or {"json": "/member"}, found "xml")"},
    {R"("source": {"connection": "broker", "topic": "a", "payload": {"json": @"v"}})", "'v' " + kNoPointer},
    {R"("source": {"connection": "broker", "topic": "a", "payload": {"json": @"/a~2"}})", "'/a~2' " + kNoPointer},
    {R"("source": {"connection": "broker", "topic": "a", "qos": @2})", "qos must be 0 or 1"},
    {R"("source": {"connection": "broker", "topic": "a", "retain": @true})", R"(retain is about writes: it needs "writeTopic")"},
    {R"("source": @{"connection": "plc1"})", R"(a Modbus source needs "address")"},
    {R"("source": {"connection": "plc1", "address": @65536})", "the address must be 0 to 65535"},
    {R"("source": {"connection": "plc1", "address": @65535, "type": "float32"})",
     "a 32-bit value takes two registers: the address must be at most 65534"},
    {R"("source": {"connection": "plc1", "table": @"holdings"})", "unknown table 'holdings' (expected holding, input, coil or discrete)"},
    {R"("source": {"connection": "plc1", "table": "coil", "address": 1, "type": @"uint16"})", R"(coils and discrete inputs hold "bool" only)"},
    {R"("source": {"connection": "plc1", "address": 1, "type": @"bool"})", R"(registers hold numbers: "bool" is for coils and discrete inputs)"},
    {R"("source": {"connection": "plc1", "table": "input", "address": 1, "writable": @true})",
     "input registers and discrete inputs cannot be written"},
    {R"("source": {"connection": "plc1", "address": 1, "scale": @0})", "the scale must be a finite number other than 0"},
    {R"("type": "string", "source": @{"connection": "plc1", "address": 1})", "a Modbus source cannot feed a string tag"},
};
// clang-format on

TEST(LiveFormat, EachMistakeIsNamedWhereItIs) {
    const auto check = [](const std::string& connections, const std::string& tags,
                          const std::string& message) {
        SCOPED_TRACE(connections + tags);
        std::string json = "{\n  \"connections\": [\n    " + connections +
                           "\n  ],\n  \"tags\": [\n    " + tags + "\n  ]\n}\n";
        const size_t marker = json.find('@');
        ASSERT_NE(marker, std::string::npos);
        json.erase(marker, 1);
        ProjectError error;
        ASSERT_FALSE(compileProjectJson(json, "live.json", nullptr, &error));
        EXPECT_EQ(error.line, 1 + std::count(json.begin(), json.begin() + marker, '\n'));
        EXPECT_EQ(error.column, static_cast<int>(marker - json.rfind('\n', marker)));
        EXPECT_EQ(error.message, message);
    };
    for (const Mistake& m : kConnectionMistakes) {
        check(m.where, "", m.message);
    }
    const std::string both =
        R"({"name": "broker", "kind": "mqtt"}, {"name": "plc1", "kind": "modbusTcp"})";
    for (const Mistake& m : kTagMistakes) {
        check(both, R"({"name": "T", )" + m.where + "}", m.message);
    }
    check(both, R"({"name": @"plc1.errors", "type": "int"})",
          "'plc1.errors' is the name of a status tag of the connection 'plc1'");
}

TEST(LiveFormat, StatusTagsFollowTheDeclaredTagsAndResolveInExpressions) {
    const Project project = compiled(R"({
      "connections": [{"name": "broker", "kind": "mqtt"}, {"name": "plc1", "kind": "modbusTcp"}],
      "tags": [{"name": "Level"}, {"name": "Run", "type": "int"}],
      "windows": [{"number": 1, "objects": [{"class": "CDrawRect", "rect": [0, 0, 9, 9],
        "animations": [{"kind": "visible", "expression": "broker.connected && plc1.errors < 3"}]}]}]
    })");
    // Each tag's name, type, what of a connection it shows (0 nothing, 1 up, 2 errors), and "live"
    // when a connection feeds it.
    std::string tags;
    for (const TagDef& tag : project.tags) {
        tags += tag.name + " " + "ifs"[int(tag.type)] + " " + std::to_string(int(tag.status.what)) +
                tag.status.connection + (tag.source.live() ? " live; " : "; ");
    }
    EXPECT_EQ(tags, "Level f 0; Run i 0; broker.connected i 1broker; broker.errors i 2broker; "
                    "plc1.connected i 1plc1; plc1.errors i 2plc1; ");
    const script::CompileResult program =
        script::compile("broker.connected && plc1.errors < 3", [](const std::string& name) {
            return name == "broker.connected" ? 2 : name == "plc1.errors" ? 5 : -1;
        });
    ASSERT_TRUE(program.ok());
    const std::string& record = project.windows.at(0).objects.at(0).record;
    EXPECT_NE(record.find(std::string(program.bytes.begin(), program.bytes.end())),
              std::string::npos);
    // Read like any tag, set by their connection only.
    ProjectError error;
    EXPECT_FALSE(compileProjectJson(
        R"({"connections": [{"name": "plc1", "kind": "modbusTcp"}], "strategies": [{"number": 1,
            "actions": [{"action": "set", "tag": "plc1.errors", "value": 0}]}]})",
        "s.json", nullptr, &error));
    EXPECT_EQ(error.message, "the status tag 'plc1.errors' is set by its connection only");
}

// In the dump's own form, so that the text itself must come back.
const char* const kLiveProject = R"json({
  "version": "4.0.0.0",
  "connections": [
    {
      "name": "broker",
      "kind": "mqtt",
      "port": 8883,
      "clientId": "hmi",
      "keepAlive": 60,
      "username": "op",
      "password": "pw",
      "tls": {"ca": "certs/ca.pem", "cert": "c.pem", "key": "k.pem"}
    },
    {"name": "plain", "kind": "mqtt"},
    {
      "name": "plc1",
      "kind": "modbusTcp",
      "host": "10.0.0.5",
      "unit": 3,
      "poll": 0.5,
      "timeout": 2
    }
  ],
  "tags": [
    {
      "name": "Level",
      "source": {
        "connection": "broker",
        "topic": "plant/level",
        "writeTopic": "plant/level/set",
        "payload": {"json": "/v"},
        "qos": 1,
        "retain": true
      }
    },
    {
      "name": "Name",
      "type": "string",
      "source": {"connection": "plain", "topic": "plant/name", "payload": "text"}
    },
    {
      "name": "Flow",
      "source": {
        "connection": "plc1",
        "table": "input",
        "address": 10,
        "type": "float32",
        "wordOrder": "little",
        "scale": 0.1,
        "offset": -5
      }
    },
    {
      "name": "Run",
      "type": "int",
      "source": {
        "connection": "plc1",
        "table": "coil",
        "address": 3,
        "writable": true
      }
    },
    {
      "name": "Raw",
      "simulation": {"kind": "sine", "period": 5},
      "source": {"connection": "plc1", "address": 0}
    }
  ],
  "windows": []
}
)json";

TEST(LiveFormat, FileContainerAndDumpRoundTrip) {
    const Project project = compiled(kLiveProject);
    const std::string kvs = writeKvs(project);
    EXPECT_EQ(projecttest::hex(kvs.substr(0, 8)), "4b 56 53 46 02 00 00 00");
    Project read;
    ProjectError error;
    ASSERT_TRUE(readKvs(kvs, "live.kvs", &read, &error)) << error.text();
    EXPECT_EQ(read.tags.size(), 5u + 6u); // the status tags come back from the connections
    EXPECT_EQ(dumpProjectJson(read), kLiveProject);
    EXPECT_EQ(writeKvs(compiled(dumpProjectJson(read))), kvs);
}

void putU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

TEST(LiveFormat, DamagedContainersAreRefused) {
    const std::string kvs = writeKvs(compiled(kLiveProject));
    const size_t plc1 = kvs.find("plc1");
    const size_t conn = kvs.find("CONN");
    const struct {
        const char* name;
        std::function<void(std::string&)> damage;
        std::string message;
    } cases[] = {
        {"connections renamed under their sources", [&](std::string& b) { b[plc1 + 3] = '2'; },
         "tag 'Flow': no connection 'plc1' in the project"},
        {"unknown connection kind", [&](std::string& b) { b[plc1 + 4] = 2; },
         "offset " + std::to_string(plc1 + 5) +
             ": connections: connection 3: unknown connection kind 2"},
        {"connection count beyond the bytes", [&](std::string& b) { putU32(b, conn + 8, 9); },
         "offset " + std::to_string(conn + 8) +
             ": connections: the count 9 of connections "
             "exceeds what the " +
             std::to_string(kvs.find("TAGS") - conn - 12) + " bytes left can hold"},
        // keep-alive of the Modbus connection: after the name, kind, host, port and client id
        {"MQTT setting on Modbus", [&](std::string& b) { b[plc1 + 4 + 1 + 12 + 4 + 4] = 9; },
         "connection 'plc1': a Modbus TCP connection has no MQTT settings"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string damaged = kvs;
        c.damage(damaged);
        ProjectError error;
        ASSERT_FALSE(readKvs(damaged, "d.kvs", nullptr, &error));
        EXPECT_EQ(error.message, c.message);
    }
}

TEST(LiveFormat, ConnectionsPointedElsewhere) {
    const std::string form = "expected NAME=HOST:PORT, found ";
    const struct {
        const char* argument;
        std::string result; //!< the connection's host and port, or the message of the refusal
    } cases[] = {
        {"broker=example.org:1884", "example.org 1884"},
        {"plc1=[::1]:1502", "::1 1502"},
        {"plc1=10.0.0.9:65535", "10.0.0.9 65535"},
        {"broker=example.org", form + "'broker=example.org'"},
        {"=h:1", form + "'=h:1'"},
        {"broker=:1883", form + "'broker=:1883'"},
        {"broker=h:x1", form + "'broker=h:x1'"},
        {"broker=[::1]1883", form + "'broker=[::1]1883'"},
        {"broker=::1:1883",
         form + "'broker=::1:1883': an IPv6 host goes in brackets, as in [::1]:1883"},
        {"broker=h:0", "the port must be 1 to 65535, found 0"},
        {"broker=h:65536", "the port must be 1 to 65535, found 65536"},
        {"nope=h:1", "no connection 'nope' in the project"},
        {"broker=a b:1",
         "connection 'broker': the host must not contain blanks or control characters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        Project project = compiled(kLiveProject);
        const std::string before = writeKvs(project);
        std::string error;
        if (!overrideConnection(project, c.argument, &error)) {
            EXPECT_EQ(error, c.result);
            EXPECT_EQ(writeKvs(project), before);
            continue;
        }
        const std::string name =
            std::string(c.argument).substr(0, std::string(c.argument).find('='));
        const ConnectionDef* connection = project.connection(name);
        EXPECT_EQ(connection->host + " " + std::to_string(connection->port), c.result);
    }
}

} // namespace
