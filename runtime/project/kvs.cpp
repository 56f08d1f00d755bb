// The .kvs container: a header and sections in a fixed order, every item length-prefixed, every
// number little-endian. The reader checks each count and length against the bytes left before it
// allocates, and accepts exactly what the writer writes (docs/screen-format.md).
#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"
#include "runtime/project/screencodec.h"
#include "runtime/stream/forms.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>

namespace kestro {

namespace {

constexpr char kMagic[4] = {'K', 'V', 'S', 'F'};
// A project without connections keeps the first format, so that its containers stay as they
// were; the second adds the connections and each tag's source.
constexpr uint16_t kFormatPlain = 1;
constexpr uint16_t kFormatLive = 2;

// Least bytes of one item of each list, for checking a count before anything is allocated.
constexpr size_t kLanguageBytes = 8;
constexpr size_t kTextBytes = 8;
constexpr size_t kTagBytes = 4 + 1 + 8 + 4 + 1 + 4 * 8 + 4 + 4;
constexpr size_t kStepBytes = 16;
constexpr size_t kStrategyBytes = 12;
constexpr size_t kActionBytes = 1 + 4 + 8 + 4;
constexpr size_t kObjectBytes = 20;
constexpr size_t kSourceBytes = 4;
constexpr size_t kLimitBytes = 9;
constexpr size_t kConnectionBytes = 4 + 1 + 4 + 4 + 4 + 4 + 1 + 4 + 4 + 1 + 3 * 4 + 4 + 8 + 8;
constexpr size_t kTagSourceBytes = 4 + 4 + 1 + 4 + 4 + 1 + 1 + 1 + 4 + 1 + 1 + 8 + 8 + 1;

// ---- writing ----

class KvsWriter {
public:
    void u8(uint8_t value) { m_bytes.push_back(static_cast<char>(value)); }
    void u16(uint16_t value) { appendUInt16(m_bytes, value); }
    void u32(uint32_t value) { appendUInt32(m_bytes, value); }
    void i32(int32_t value) { appendInt32(m_bytes, value); }
    void f64(double value) {
        // Zero is written with its sign cleared: a project file cannot tell -0 from 0.
        const double stored = value == 0.0 ? 0.0 : value;
        uint64_t bits = 0;
        std::memcpy(&bits, &stored, sizeof bits);
        u32(static_cast<uint32_t>(bits));
        u32(static_cast<uint32_t>(bits >> 32));
    }
    void text(const std::string& value) {
        u32(static_cast<uint32_t>(value.size()));
        m_bytes += value;
    }
    void raw(const std::string& value) { m_bytes += value; }
    void count(size_t n) { u32(static_cast<uint32_t>(n)); }

    //! A section: its tag, then the length of what body writes, then that.
    template <class Body>
    void section(const char (&tag)[5], Body body) {
        m_bytes.append(tag, 4);
        const size_t lengthAt = m_bytes.size();
        u32(0);
        body();
        std::string length;
        appendUInt32(length, static_cast<uint32_t>(m_bytes.size() - lengthAt - 4));
        m_bytes.replace(lengthAt, 4, length);
    }

    std::string take() { return std::move(m_bytes); }

private:
    std::string m_bytes;
};

void writeObject(KvsWriter& out, const ObjectDef& object) {
    out.u32(object.classNumber);
    out.text(object.record);
    out.count(object.expressions.size());
    for (const std::string& source : object.expressions) {
        out.text(source);
    }
    out.count(object.eventSources.size());
    for (const std::string& source : object.eventSources) {
        out.text(source);
    }
    out.count(object.limitSources.size());
    for (const LimitSource& limit : object.limitSources) {
        out.u32(static_cast<uint32_t>(limit.animation));
        out.u8(limit.upper ? 1 : 0);
        out.text(limit.source);
    }
}

void writeConnection(KvsWriter& out, const ConnectionDef& c) {
    out.text(c.name);
    out.u8(static_cast<uint8_t>(c.kind));
    out.text(c.host);
    out.i32(c.port);
    out.text(c.clientId);
    out.i32(c.keepAlive);
    out.u8(c.hasCredentials ? 1 : 0);
    out.text(c.username);
    out.text(c.password);
    out.u8(c.tls ? 1 : 0);
    out.text(c.tlsCa);
    out.text(c.tlsCert);
    out.text(c.tlsKey);
    out.i32(c.unit);
    out.f64(c.poll);
    out.f64(c.timeout);
}

void writeTagSource(KvsWriter& out, const TagSource& s) {
    out.text(s.connection);
    out.text(s.topic);
    out.u8(static_cast<uint8_t>(s.payload));
    out.text(s.jsonPointer);
    out.text(s.writeTopic);
    out.u8(static_cast<uint8_t>(s.qos));
    out.u8(s.retain ? 1 : 0);
    out.u8(static_cast<uint8_t>(s.table));
    out.i32(s.address);
    out.u8(static_cast<uint8_t>(s.type));
    out.u8(s.littleWordOrder ? 1 : 0);
    out.f64(s.scale);
    out.f64(s.offset);
    out.u8(s.writable ? 1 : 0);
}

// ---- reading ----

struct KvsFailure : std::exception {
    KvsFailure(size_t at, std::string text) : offset(at), message(std::move(text)) {}
    const char* what() const noexcept override { return message.c_str(); }
    size_t offset;
    std::string message;
};

class KvsReader {
public:
    explicit KvsReader(const std::string& bytes) : m_bytes(bytes), m_end(bytes.size()) {}

    size_t position() const { return m_pos; }
    size_t left() const { return m_end - m_pos; }

    [[noreturn]] void fail(const std::string& message) const {
        throw KvsFailure(m_pos, context() + message);
    }

    void need(size_t count, const char* what) {
        if (left() < count) {
            fail(std::string("the ") + what + " is cut off: " + std::to_string(count) +
                 " bytes needed, " + std::to_string(left()) + " left");
        }
    }

    uint32_t little(size_t width, const char* what) {
        need(width, what);
        uint32_t value = 0;
        for (size_t i = 0; i < width; ++i) {
            value |= static_cast<uint32_t>(static_cast<unsigned char>(m_bytes[m_pos + i]))
                     << (8 * i);
        }
        m_pos += width;
        return value;
    }
    uint8_t u8(const char* what) { return static_cast<uint8_t>(little(1, what)); }
    uint16_t u16(const char* what) { return static_cast<uint16_t>(little(2, what)); }
    uint32_t u32(const char* what) { return little(4, what); }
    int32_t i32(const char* what) { return static_cast<int32_t>(little(4, what)); }

    double f64(const char* what) {
        const uint64_t low = u32(what);
        const uint64_t high = u32(what);
        const uint64_t bits = low | (high << 32);
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) {
            m_pos -= 8;
            fail(std::string("the ") + what + " is not a finite number");
        }
        return value;
    }

    std::string bytes(size_t count, const char* what) {
        need(count, what);
        std::string value = m_bytes.substr(m_pos, count);
        m_pos += count;
        return value;
    }

    std::string text(const char* what) {
        const size_t start = m_pos;
        const uint32_t length = u32(what);
        if (length > left()) {
            m_pos = start;
            fail(std::string("the length ") + std::to_string(length) + " of the " + what +
                 " exceeds the " + std::to_string(left() - 4) + " bytes left");
        }
        return bytes(length, what);
    }

    //! A count of items of at least itemBytes each, checked against the bytes left.
    size_t count(size_t itemBytes, const char* what) {
        const size_t start = m_pos;
        const uint32_t n = u32(what);
        if (n > left() / itemBytes) {
            m_pos = start;
            fail("the count " + std::to_string(n) + " of " + what + " exceeds what the " +
                 std::to_string(left() - 4) + " bytes left can hold");
        }
        return n;
    }

    //! A section with the given tag; body reads its payload, which it must use up exactly.
    template <class Body>
    void section(const char (&tag)[5], const std::string& name, Body body) {
        need(8, "section header");
        if (m_bytes.compare(m_pos, 4, tag, 4) != 0) {
            fail(std::string("expected the section '") + tag + "' (" + name + ")");
        }
        m_pos += 4;
        const uint32_t length = u32("section length");
        if (length > left()) {
            const std::string message = "the length " + std::to_string(length) +
                                        " of the section '" + tag + "' exceeds the " +
                                        std::to_string(left()) + " bytes left";
            m_pos -= 4;
            fail(message);
        }
        const size_t outerEnd = m_end;
        m_end = m_pos + length;
        m_context.push_back(name);
        body();
        if (m_pos != m_end) {
            fail(std::to_string(m_end - m_pos) + " bytes left over at the end of the section");
        }
        m_context.pop_back();
        m_end = outerEnd;
    }

    //! Names the item being read in messages ("window 2 (number 7), object 3").
    template <class Body>
    void item(const std::string& name, Body body) {
        m_context.push_back(name);
        body();
        m_context.pop_back();
    }

private:
    std::string context() const {
        std::string text;
        for (const std::string& part : m_context) {
            text += part + ": ";
        }
        return text;
    }

    const std::string& m_bytes;
    size_t m_pos = 0;
    size_t m_end;
    std::vector<std::string> m_context;
};

template <class Enum>
Enum enumValue(KvsReader& in, uint8_t last, const char* what) {
    const uint8_t value = in.u8(what);
    if (value > last) {
        in.fail(std::string("unknown ") + what + " " + std::to_string(value));
    }
    return static_cast<Enum>(value);
}

//! The format version.
uint16_t readHeader(KvsReader& in) {
    in.need(8, "header");
    if (in.bytes(4, "header") != std::string(kMagic, 4)) {
        throw KvsFailure(0, "not a .kvs container (the first bytes are not \"KVSF\")");
    }
    const uint16_t version = in.u16("format version");
    if (version != kFormatPlain && version != kFormatLive) {
        in.fail("unknown container format version " + std::to_string(version));
    }
    if (in.u16("header flags") != 0) {
        in.fail("unknown header flags");
    }
    return version;
}

//! The project section's fields; the number of windows that follow.
size_t readProjectSection(KvsReader& in, Project& project) {
    ProjectVersion& v = project.version;
    v.major = in.i32("version");
    v.minor = in.i32("version");
    v.build = in.i32("version");
    v.revision = in.i32("version");
    v.text = in.text("version text");
    project.language = in.text("current language");
    project.startWindow = in.i32("start window");
    return in.u32("window count");
}

LanguageDef readLanguage(KvsReader& in) {
    LanguageDef language;
    language.name = in.text("language name");
    const size_t texts = in.count(kTextBytes, "texts");
    for (size_t k = 0; k < texts; ++k) {
        std::string key = in.text("text key");
        language.texts[key] = in.text("text");
    }
    return language;
}

bool readFlag(KvsReader& in, const char* what) {
    return enumValue<uint8_t>(in, 1, what) == 1;
}

ConnectionDef readConnection(KvsReader& in) {
    ConnectionDef c;
    c.name = in.text("connection name");
    c.kind = enumValue<ConnectionDef::Kind>(in, 1, "connection kind");
    c.host = in.text("host");
    c.port = in.i32("port");
    c.clientId = in.text("client id");
    c.keepAlive = in.i32("keep-alive");
    c.hasCredentials = readFlag(in, "credentials flag");
    c.username = in.text("username");
    c.password = in.text("password");
    c.tls = readFlag(in, "TLS flag");
    c.tlsCa = in.text("CA file");
    c.tlsCert = in.text("certificate file");
    c.tlsKey = in.text("key file");
    c.unit = in.i32("unit");
    c.poll = in.f64("poll interval");
    c.timeout = in.f64("timeout");
    return c;
}

TagSource readTagSource(KvsReader& in) {
    TagSource s;
    s.connection = in.text("source connection");
    s.topic = in.text("topic");
    s.payload = enumValue<TagSource::Payload>(in, 2, "payload");
    s.jsonPointer = in.text("JSON pointer");
    s.writeTopic = in.text("write topic");
    s.qos = in.u8("qos");
    s.retain = readFlag(in, "retain flag");
    s.table = enumValue<TagSource::Table>(in, 3, "table");
    s.address = in.i32("address");
    s.type = enumValue<TagSource::Type>(in, 5, "register type");
    s.littleWordOrder = readFlag(in, "word order");
    s.scale = in.f64("scale");
    s.offset = in.f64("offset");
    s.writable = readFlag(in, "writable flag");
    return s;
}

TagDef readTag(KvsReader& in, bool live) {
    TagDef tag;
    tag.name = in.text("tag name");
    tag.type = enumValue<VarType>(in, 2, "tag type");
    tag.number = in.f64("initial value");
    tag.text = in.text("initial text");
    Simulation& s = tag.simulation;
    s.kind = enumValue<Simulation::Kind>(in, 5, "simulation kind");
    s.period = in.f64("simulation period");
    s.low = in.f64("simulation low");
    s.high = in.f64("simulation high");
    s.step = in.f64("simulation step");
    s.seed = in.u32("simulation seed");
    const size_t steps = in.count(kStepBytes, "simulation steps");
    for (size_t k = 0; k < steps; ++k) {
        const double time = in.f64("step time");
        s.steps.emplace_back(time, in.f64("step value"));
    }
    if (live) {
        tag.source = readTagSource(in);
    }
    return tag;
}

StrategyDef readStrategy(KvsReader& in) {
    StrategyDef strategy;
    strategy.number = in.i32("strategy number");
    strategy.name = in.text("strategy name");
    const size_t actions = in.count(kActionBytes, "actions");
    for (size_t k = 0; k < actions; ++k) {
        StrategyAction action;
        action.kind = enumValue<StrategyAction::Kind>(in, 2, "action kind");
        action.tag = in.text("action tag");
        action.number = in.f64("action value");
        action.text = in.text("action text");
        strategy.actions.push_back(std::move(action));
    }
    return strategy;
}

ObjectDef readObject(KvsReader& in) {
    ObjectDef object;
    object.classNumber = in.u32("class number");
    object.record = in.text("record");
    const size_t expressions = in.count(kSourceBytes, "expression sources");
    for (size_t k = 0; k < expressions; ++k) {
        object.expressions.push_back(in.text("expression source"));
    }
    const size_t events = in.count(kSourceBytes, "event sources");
    for (size_t k = 0; k < events; ++k) {
        object.eventSources.push_back(in.text("event source"));
    }
    const size_t limits = in.count(kLimitBytes, "limit sources");
    for (size_t k = 0; k < limits; ++k) {
        LimitSource limit;
        const uint32_t animation = in.u32("limit animation");
        if (animation > static_cast<uint32_t>(INT32_MAX)) {
            in.fail("limit animation index out of range");
        }
        limit.animation = static_cast<int>(animation);
        limit.upper = enumValue<uint8_t>(in, 1, "limit side") == 1;
        limit.source = in.text("limit source");
        object.limitSources.push_back(std::move(limit));
    }
    object.className = classNameOf(object.classNumber);
    object.name = objectNameOf(object.record);
    return object;
}

WindowDef readWindow(KvsReader& in) {
    WindowDef window;
    window.number = in.i32("window number");
    window.name = in.text("window name");
    window.width = in.i32("window width");
    window.height = in.i32("window height");
    window.background = in.u32("background");
    const size_t objects = in.count(kObjectBytes, "objects");
    for (size_t i = 0; i < objects; ++i) {
        in.item("object " + std::to_string(i + 1),
                [&] { window.objects.push_back(readObject(in)); });
    }
    return window;
}

//! A section of n items, each read by read and named "<what> <i>" in messages.
template <class Item, class Read>
void readItems(KvsReader& in, size_t minimumBytes, const char* list, const char* what,
               std::vector<Item>& out, Read read) {
    const size_t n = in.count(minimumBytes, list);
    for (size_t i = 0; i < n; ++i) {
        in.item(std::string(what) + " " + std::to_string(i + 1), [&] { out.push_back(read(in)); });
    }
}

Project readProject(KvsReader& in) {
    Project project;
    const bool live = readHeader(in) == kFormatLive;
    size_t windowCount = 0;
    in.section("PROJ", "project", [&] { windowCount = readProjectSection(in, project); });
    in.section("LANG", "languages", [&] {
        readItems(in, kLanguageBytes, "languages", "language", project.languages, readLanguage);
    });
    if (live) {
        in.section("CONN", "connections", [&] {
            readItems(in, kConnectionBytes, "connections", "connection", project.connections,
                      readConnection);
        });
    }
    in.section("TAGS", "tags", [&] {
        readItems(in, kTagBytes + (live ? kTagSourceBytes : 0), "tags", "tag", project.tags,
                  [live](KvsReader& r) { return readTag(r, live); });
    });
    // The status tags are not stored: they follow from the connections.
    appendStatusTags(project);
    in.section("STGY", "strategies", [&] {
        readItems(in, kStrategyBytes, "strategies", "strategy", project.strategies, readStrategy);
    });
    // Each window is at least a section header: the count cannot outrun the bytes.
    if (windowCount > in.left() / 8) {
        in.fail("the window count " + std::to_string(windowCount) +
                " exceeds what the bytes left can hold");
    }
    for (size_t w = 0; w < windowCount; ++w) {
        in.section("WNDW", "window " + std::to_string(w + 1),
                   [&] { project.windows.push_back(readWindow(in)); });
    }
    if (in.left() != 0) {
        in.fail(std::to_string(in.left()) + " bytes after the last window");
    }
    return project;
}

} // namespace

std::string writeKvs(const Project& project) {
    KvsWriter out;
    const bool live = !project.connections.empty();
    out.raw(std::string(kMagic, 4));
    out.u16(live ? kFormatLive : kFormatPlain);
    out.u16(0);
    out.section("PROJ", [&] {
        const ProjectVersion& v = project.version;
        out.i32(v.major);
        out.i32(v.minor);
        out.i32(v.build);
        out.i32(v.revision);
        out.text(v.text);
        out.text(project.language);
        out.i32(project.startWindow);
        out.count(project.windows.size());
    });
    out.section("LANG", [&] {
        out.count(project.languages.size());
        for (const LanguageDef& language : project.languages) {
            out.text(language.name);
            out.count(language.texts.size());
            for (const auto& [key, text] : language.texts) {
                out.text(key);
                out.text(text);
            }
        }
    });
    if (live) {
        out.section("CONN", [&] {
            out.count(project.connections.size());
            for (const ConnectionDef& connection : project.connections) {
                writeConnection(out, connection);
            }
        });
    }
    out.section("TAGS", [&] {
        size_t declared = 0;
        for (const TagDef& tag : project.tags) {
            declared += tag.status.what == ConnectionStatus::What::None ? 1 : 0;
        }
        out.count(declared);
        for (const TagDef& tag : project.tags) {
            if (tag.status.what != ConnectionStatus::What::None) {
                continue;
            }
            out.text(tag.name);
            out.u8(static_cast<uint8_t>(tag.type));
            out.f64(tag.number);
            out.text(tag.text);
            const Simulation& s = tag.simulation;
            out.u8(static_cast<uint8_t>(s.kind));
            out.f64(s.period);
            out.f64(s.low);
            out.f64(s.high);
            out.f64(s.step);
            out.u32(s.seed);
            out.count(s.steps.size());
            for (const auto& [time, value] : s.steps) {
                out.f64(time);
                out.f64(value);
            }
            if (live) {
                writeTagSource(out, tag.source);
            }
        }
    });
    out.section("STGY", [&] {
        out.count(project.strategies.size());
        for (const StrategyDef& strategy : project.strategies) {
            out.i32(strategy.number);
            out.text(strategy.name);
            out.count(strategy.actions.size());
            for (const StrategyAction& action : strategy.actions) {
                out.u8(static_cast<uint8_t>(action.kind));
                out.text(action.tag);
                out.f64(action.number);
                out.text(action.text);
            }
        }
    });
    for (const WindowDef& window : project.windows) {
        out.section("WNDW", [&] {
            out.i32(window.number);
            out.text(window.name);
            out.i32(window.width);
            out.i32(window.height);
            out.u32(window.background);
            out.count(window.objects.size());
            for (const ObjectDef& object : window.objects) {
                writeObject(out, object);
            }
        });
    }
    return out.take();
}

bool readKvs(const std::string& bytes, const std::string& fileName, Project* out,
             ProjectError* error) {
    const auto refuse = [&](const std::string& message) {
        if (error) {
            *error = ProjectError{fileName, 0, 0, message};
        }
        return false;
    };
    Project project;
    try {
        KvsReader in(bytes);
        project = readProject(in);
    } catch (const KvsFailure& failure) {
        return refuse("offset " + std::to_string(failure.offset) + ": " + failure.message);
    } catch (const std::bad_alloc&) {
        return refuse("out of memory");
    }
    std::string message;
    if (!checkProject(project, &message)) {
        return refuse(message);
    }
    // Every field is read above; what remains is the canonical form (sorted unique text keys,
    // zeros without a sign). Only containers this host writes are accepted, so that a dump
    // compiles back to the very same bytes.
    const std::string canonical = writeKvs(project);
    if (canonical != bytes) {
        size_t at = 0;
        while (at < canonical.size() && at < bytes.size() && canonical[at] == bytes[at]) {
            ++at;
        }
        return refuse("offset " + std::to_string(at) +
                      ": the container is not in the form this host writes");
    }
    if (out) {
        *out = std::move(project);
    }
    return true;
}

bool loadProjectFile(const std::string& path, Project* out, ProjectError* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        if (error) {
            *error = ProjectError{path, 0, 0, "cannot open the file"};
        }
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    if (file.bad()) {
        if (error) {
            *error = ProjectError{path, 0, 0, "cannot read the file"};
        }
        return false;
    }
    if (bytes.compare(0, 4, std::string(kMagic, 4)) == 0) {
        return readKvs(bytes, path, out, error);
    }
    return compileProjectJson(bytes, path, out, error);
}

std::string ProjectError::text() const {
    std::string out = file;
    if (line > 0) {
        out += (out.empty() ? "" : ":") + std::to_string(line);
        if (column > 0) {
            out += ":" + std::to_string(column);
        }
    }
    return out.empty() ? message : out + ": " + message;
}

} // namespace kestro
