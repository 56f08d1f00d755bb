// Drawing objects between the project file and their records.
#include "runtime/project/screencodec.h"

#include "runtime/project/shapecatalog.h"
#include "runtime/stream/forms.h"

#include <cstdio>
#include <optional>
#include <type_traits>

namespace kestro {

namespace {

constexpr uint32_t kOperLogBit = 0x100;

const std::vector<std::string> kObjectKeys = {
    "class",      "name",           "id",       "wordA",   "wordB",  "wordALow",
    "wordBLow",   "version",        "rect",     "outline", "fill",   "attr",
    "reserved",   "value1",         "value2",   "operLog", "events", "animations",
    "eventCount", "animationCount", "extraRaw", "rawTail", "sources"};

std::string classLabel(uint32_t number) {
    const std::string name = classNameOf(number);
    if (!name.empty()) {
        return name;
    }
    char text[24];
    std::snprintf(text, sizeof text, "class 0x%X", static_cast<unsigned>(number));
    return text;
}

// ---- outline and fill ----

struct Outline {
    uint8_t on = 1;
    uint8_t highByte = 0;
    uint32_t style = 0;
    int32_t width = 1;
    int32_t widthY = 0;
    uint32_t color = 0x000000;
};

struct Fill {
    uint8_t on = 1;
    uint8_t highByte = 0;
    uint32_t style = 0;
    uint32_t color = 0xFFFFFF;
    uint32_t hatch = 0;
};

uint8_t readFlag(const Node& node) {
    return node.isBool() ? (node.toBool() ? 1 : 0) : static_cast<uint8_t>(node.toInteger(0, 255));
}

JsonOut flagJson(uint8_t flag) {
    return flag <= 1 ? JsonOut::boolean(flag == 1) : JsonOut::integer(flag);
}

// false, true, a colour, or the record's members.
template <class Record>
Record readPenOrBrush(const Node& node, const std::vector<std::string>& keys, const char* what) {
    Record record;
    if (!node.exists()) {
        return record;
    }
    if (node.isBool()) {
        record.on = node.toBool() ? 1 : 0;
    } else if (node.isString()) {
        record.color = node.toColor();
    } else if (node.isObject()) {
        node.allowOnly(keys, what);
        if (node["on"].exists()) {
            record.on = readFlag(node["on"]);
        }
        readField(node, "highByte", &record.highByte);
        readField(node, "style", &record.style);
        readColor(node, "color", &record.color);
        if constexpr (std::is_same_v<Record, Outline>) {
            readField(node, "width", &record.width);
            readField(node, "widthY", &record.widthY);
        } else {
            readField(node, "hatch", &record.hatch);
        }
    } else {
        node.fail("'" + node.label() + "' must be true, false, a colour or an object, found " +
                  node.kindName());
    }
    return record;
}

template <class Record>
void addPenOrBrush(JsonOut& out, const char* key, const Record& record) {
    const Record d;
    JsonOut members = JsonOut::object();
    int differing = 0;
    const auto member = [&](const char* name, bool differs, JsonOut value) {
        if (differs) {
            members.add(name, std::move(value));
            ++differing;
        }
    };
    member("on", record.on != d.on, flagJson(record.on));
    member("highByte", record.highByte != d.highByte, JsonOut::integer(record.highByte));
    member("style", record.style != d.style, JsonOut::integer(record.style));
    if constexpr (std::is_same_v<Record, Outline>) {
        member("width", record.width != d.width, JsonOut::integer(record.width));
        member("widthY", record.widthY != d.widthY, JsonOut::integer(record.widthY));
    }
    member("color", record.color != d.color, JsonOut::string(colorText(record.color)));
    if constexpr (std::is_same_v<Record, Fill>) {
        member("hatch", record.hatch != d.hatch, JsonOut::integer(record.hatch));
    }
    if (differing == 0) {
        return;
    }
    if (differing == 1 && record.on == 0) {
        out.add(key, JsonOut::boolean(false));
    } else if (differing == 1 && record.color != d.color) {
        out.add(key, JsonOut::string(colorText(record.color)));
    } else {
        out.add(key, std::move(members));
    }
}

// ---- class fields ----

ShapeValue readShapeValue(const Node& node, ShapeFieldKind kind) {
    ShapeValue value;
    switch (kind) {
    case ShapeFieldKind::Int32:
        value.number = node.toInteger(INT32_MIN, INT32_MAX);
        break;
    case ShapeFieldKind::UInt16:
    case ShapeFieldKind::OptionalUInt16:
        value.number = node.toInteger(0, 0xFFFF);
        break;
    case ShapeFieldKind::Color:
        value.number = node.toColor();
        break;
    case ShapeFieldKind::Text:
        value.text = node.toRecordText();
        break;
    case ShapeFieldKind::Points:
        for (const Node& point : node.items()) {
            const std::vector<Node> xy = point.isArray() ? point.items() : std::vector<Node>();
            if (xy.size() != 2) {
                point.fail("'" + point.label() + "' must be a point [x, y]");
            }
            value.points.emplace_back(static_cast<int32_t>(xy[0].toInteger(INT32_MIN, INT32_MAX)),
                                      static_cast<int32_t>(xy[1].toInteger(INT32_MIN, INT32_MAX)));
        }
        break;
    }
    return value;
}

JsonOut shapeValueJson(const ShapeValue& value, ShapeFieldKind kind) {
    switch (kind) {
    case ShapeFieldKind::Color:
        return JsonOut::string(colorText(static_cast<uint32_t>(value.number)));
    case ShapeFieldKind::Text:
        return recordText(value.text);
    case ShapeFieldKind::Points: {
        JsonOut points = JsonOut::array();
        for (const Point32& p : value.points) {
            points.push(
                JsonOut::array().push(JsonOut::integer(p.first)).push(JsonOut::integer(p.second)));
        }
        return points;
    }
    default:
        return JsonOut::integer(value.number);
    }
}

// ---- counts ----

// The record with its event and animation counts replaced where given (damaged-input tests).
std::string encodeWithCounts(const ObjectRecord& record, std::optional<int32_t> eventCount,
                             std::optional<int32_t> animationCount) {
    std::string bytes = encodeObject(record);
    if (!eventCount && !animationCount) {
        return bytes;
    }
    ObjectRecord head = record;
    head.events.clear();
    head.animations.clear();
    head.extra.clear();
    const size_t eventCountAt = encodeObject(head).size() - 8; // before the two empty counts
    size_t animationCountAt = eventCountAt + 4;
    for (const EventRecord& event : record.events) {
        animationCountAt += 8 + event.program.size();
    }
    const auto patch = [&](size_t at, int32_t value) {
        std::string field;
        appendInt32(field, value);
        bytes.replace(at, 4, field);
    };
    if (eventCount) {
        patch(eventCountAt, *eventCount);
    }
    if (animationCount) {
        patch(animationCountAt, *animationCount);
    }
    return bytes;
}

// ---- sources ----

void readSources(const Node& node, ObjectDef* object) {
    node.allowOnly({"expressions", "events", "limits"}, "sources");
    if (node["expressions"].exists()) {
        object->expressions.clear();
        for (const Node& item : node["expressions"].items()) {
            object->expressions.push_back(item.toRecordText());
        }
    }
    if (node["events"].exists()) {
        object->eventSources.clear();
        for (const Node& item : node["events"].items()) {
            object->eventSources.push_back(item.toRecordText());
        }
    }
    if (node["limits"].exists()) {
        object->limitSources.clear();
        for (const Node& item : node["limits"].items()) {
            item.allowOnly({"animation", "upper", "source"}, "a limit source");
            LimitSource limit;
            limit.animation = static_cast<int>(item["animation"].toInteger(0, INT32_MAX));
            limit.upper = item["upper"].toBool();
            limit.source = item["source"].toRecordText();
            object->limitSources.push_back(std::move(limit));
        }
    }
}

JsonOut textArray(const std::vector<std::string>& texts) {
    JsonOut array = JsonOut::array();
    for (const std::string& text : texts) {
        array.push(recordText(text));
    }
    return array;
}

bool sameLimits(const std::vector<LimitSource>& a, const std::vector<LimitSource>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].animation != b[i].animation || a[i].upper != b[i].upper ||
            a[i].source != b[i].source) {
            return false;
        }
    }
    return true;
}

// The lists of the object that its JSON does not give by itself.
JsonOut sourcesJson(const ObjectDef& object, const ObjectDef& derived) {
    JsonOut sources = JsonOut::object();
    if (object.expressions != derived.expressions) {
        sources.add("expressions", textArray(object.expressions));
    }
    if (object.eventSources != derived.eventSources) {
        sources.add("events", textArray(object.eventSources));
    }
    if (!sameLimits(object.limitSources, derived.limitSources)) {
        JsonOut limits = JsonOut::array();
        for (const LimitSource& limit : object.limitSources) {
            limits.push(JsonOut::object()
                            .add("animation", JsonOut::integer(limit.animation))
                            .add("upper", JsonOut::boolean(limit.upper))
                            .add("source", recordText(limit.source)));
        }
        sources.add("limits", std::move(limits));
    }
    return sources;
}

bool sameObject(const ObjectDef& a, const ObjectDef& b) {
    return a.classNumber == b.classNumber && a.record == b.record &&
           a.expressions == b.expressions && a.eventSources == b.eventSources &&
           sameLimits(a.limitSources, b.limitSources);
}

JsonOut classJson(uint32_t number) {
    const std::string name = classNameOf(number);
    return name.empty() ? JsonOut::integer(number) : JsonOut::string(name);
}

JsonOut rawObject(const ObjectDef& object) {
    JsonOut out = JsonOut::object();
    out.add("class", classJson(object.classNumber));
    out.add("raw", JsonOut::string(hexBytes(object.record)));
    ObjectDef none;
    JsonOut sources = sourcesJson(object, none);
    if (!sources.empty()) {
        out.add("sources", std::move(sources));
    }
    return out;
}

// A source the JSON can carry in place; others come back through the explicit list.
std::string sourceAt(const std::vector<std::string>& sources, size_t index) {
    return index < sources.size() && isValidUtf8(sources[index]) ? sources[index] : std::string();
}

// The animation entries as far as they decode; the offset where the first that does not decode
// starts, if any.
std::optional<size_t> readAnimationEntries(StreamReader& in, int32_t count,
                                           const ScreenContext& context,
                                           std::vector<AnimationEntry>* entries) {
    for (int32_t i = 0; i < count; ++i) {
        const size_t start = in.position();
        AnimationEntry entry;
        AnimationRecord animation;
        if (!in.u32(&entry.typeId) || !readAnimation(in, entry.typeId, context.form, &animation)) {
            return start;
        }
        entry.record = in.bytesSince(start + 4);
        entries->push_back(std::move(entry));
    }
    return std::nullopt;
}

void addOperLog(JsonOut& out, const OperLogBlock& block) {
    const OperLogBlock d;
    if (block.reserved == d.reserved && block.operLog == d.operLog && block.text.empty()) {
        out.add("operLog", JsonOut::boolean(true));
        return;
    }
    JsonOut members = JsonOut::object();
    if (block.reserved != d.reserved) {
        members.add("reserved", JsonOut::integer(block.reserved));
    }
    if (block.operLog != d.operLog) {
        members.add("on", JsonOut::integer(block.operLog));
    }
    if (!block.text.empty()) {
        members.add("text", recordText(block.text));
    }
    out.add("operLog", std::move(members));
}

// The common record's fields, each only when it differs from a fresh object's.
void addCommonFields(JsonOut& out, const ObjectRecord& record) {
    if (!record.name.empty()) {
        out.add("name", recordText(record.name));
    }
    if (record.objectId != 0) {
        out.add("id", JsonOut::integer(record.objectId));
    }
    if (record.wordALow != 0) {
        out.add("wordALow", JsonOut::integer(record.wordALow));
    }
    if (record.wordBLow != 0) {
        out.add("wordBLow", JsonOut::integer(record.wordBLow));
    }
    if (record.version != 10) {
        out.add("version", JsonOut::integer(record.version));
    }
    out.add("rect", JsonOut::array()
                        .push(JsonOut::integer(record.left))
                        .push(JsonOut::integer(record.top))
                        .push(JsonOut::integer(record.right))
                        .push(JsonOut::integer(record.bottom)));
    addPenOrBrush(out, "outline",
                  Outline{record.pen, record.penHighByte, record.penStyle, record.penWidthX,
                          record.penWidthY, record.penColor});
    addPenOrBrush(out, "fill",
                  Fill{record.brush, record.brushHighByte, record.brushStyle, record.brushColor,
                       record.brushHatch});
    const std::pair<const char*, uint32_t> words[] = {{"attr", record.attr},
                                                      {"reserved", record.reserved},
                                                      {"value1", record.value1},
                                                      {"value2", record.value2}};
    for (const auto& [key, value] : words) {
        if (value != 0) {
            out.add(key, JsonOut::integer(value));
        }
    }
    if (record.operLogBlock) {
        addOperLog(out, *record.operLogBlock);
    }
}

// What of the record the class's own fields leave undecoded.
struct UndecodedBytes {
    bool extraAsRaw = false; //!< the class fields go out as raw bytes
    std::string extraRaw;
    std::string tail; //!< bytes after everything decoded
};

// The class's own fields, when the whole list before them decodes.
UndecodedBytes addClassFields(JsonOut& out, const ObjectDef& object, StreamReader& in,
                              std::optional<size_t> brokenAt) {
    UndecodedBytes rest;
    const ShapeClass* shape = findShapeClass(object.classNumber);
    if (brokenAt) {
        rest.extraAsRaw = true; // nothing of the class fields: the tail holds everything
        rest.tail = object.record.substr(*brokenAt);
    } else if (shape) {
        const size_t start = in.position();
        ShapeValues values;
        if (!shape->layout->decode(in, &values)) {
            rest.extraAsRaw = true;
            rest.extraRaw = object.record.substr(start);
            return rest;
        }
        const ShapeValues defaults = shape->layout->defaults();
        for (const ShapeField& field : shape->layout->fields()) {
            const ShapeValue& value = values[field.name];
            const auto standard = defaults.find(field.name);
            const bool isDefault = standard != defaults.end() && standard->second == value;
            if (!isDefault && (field.kind != ShapeFieldKind::OptionalUInt16 || value.present)) {
                out.add(field.name, shapeValueJson(value, field.kind));
            }
        }
        rest.tail = in.rest();
    } else {
        rest.extraRaw = in.rest();
        rest.extraAsRaw = !rest.extraRaw.empty();
    }
    return rest;
}

void addEvents(JsonOut& out, const ObjectDef& object, const std::vector<EventRecord>& events,
               const ScreenContext& context) {
    if (events.empty()) {
        return;
    }
    JsonOut list = JsonOut::array();
    for (size_t i = 0; i < events.size(); ++i) {
        JsonOut event = JsonOut::object();
        event.add("code", JsonOut::integer(events[i].eventCode));
        dumpProgramSlot(event, events[i].program, sourceAt(object.eventSources, i), "action",
                        "program", context);
        list.push(std::move(event));
    }
    out.add("events", std::move(list));
}

void addAnimations(JsonOut& out, const ObjectDef& object,
                   const std::vector<AnimationEntry>& entries, const ScreenContext& context) {
    if (entries.empty()) {
        return;
    }
    JsonOut animations = JsonOut::array();
    for (size_t i = 0; i < entries.size(); ++i) {
        std::vector<LimitSource> limits;
        for (const LimitSource& limit : object.limitSources) {
            if (limit.animation == static_cast<int>(i) && isValidUtf8(limit.source)) {
                limits.push_back(limit);
            }
        }
        animations.push(
            dumpAnimation(entries[i], sourceAt(object.expressions, i), limits, context));
    }
    out.add("animations", std::move(animations));
}

// The object decoded into its fields, as far as its record decodes.
JsonOut decodedObject(const ObjectDef& object, const ScreenContext& context, bool* decoded) {
    *decoded = false;
    JsonOut out = JsonOut::object();
    StreamReader in(object.record);
    ObjectRecord record;
    int32_t count = 0;
    if (!readObjectHead(in, &record) || !readEvents(in, &record.events) || !in.count(4, &count)) {
        return out;
    }
    std::vector<AnimationEntry> entries;
    const std::optional<size_t> brokenAt = readAnimationEntries(in, count, context, &entries);

    out.add("class", classJson(object.classNumber));
    addCommonFields(out, record);
    const UndecodedBytes rest = addClassFields(out, object, in, brokenAt);
    addEvents(out, object, record.events, context);
    addAnimations(out, object, entries, context);
    if (brokenAt) {
        out.add("animationCount", JsonOut::integer(count));
    }
    if (rest.extraAsRaw) {
        out.add("extraRaw", JsonOut::string(hexBytes(rest.extraRaw)));
    }
    if (!rest.tail.empty()) {
        out.add("rawTail", JsonOut::string(hexBytes(rest.tail)));
    }
    *decoded = true;
    return out;
}

} // namespace

std::string objectNameOf(const std::string& record) {
    StreamReader in(record);
    ObjectRecord head;
    return readObjectHead(in, &head) ? head.name : std::string();
}

std::string classNameOf(uint32_t number) {
    const ShapeClass* shape = findShapeClass(number);
    return shape ? shape->name : std::string();
}

ObjectDef compileObject(const Node& n, const ScreenContext& context, const std::string& where,
                        size_t index) {
    n.expectObject();
    std::string label = where + (where.empty() ? "" : ", ") + "object " + std::to_string(index + 1);
    const Node classNode = n["class"];
    if (!classNode.exists()) {
        n.fail(label + ": an object needs \"class\"");
    }
    ObjectDef object;
    const ShapeClass* shape = nullptr;
    if (classNode.isString()) {
        shape = findShapeClass(classNode.toText());
        if (!shape) {
            classNode.fail("unknown class '" + classNode.toText() + "'");
        }
        object.classNumber = shape->number;
    } else {
        object.classNumber = static_cast<uint32_t>(classNode.toInteger(0, UINT32_MAX));
        shape = findShapeClass(object.classNumber);
    }
    object.className = classNameOf(object.classNumber);
    if (n["name"].exists() && n["name"].isString() && !n["name"].toText().empty()) {
        label += " '" + n["name"].toText() + "'";
    }
    label += " (" + classLabel(object.classNumber) + ")";

    const Node raw = n["raw"];
    if (raw.exists()) {
        n.allowOnly({"class", "raw", "sources"}, "an object given as \"raw\"");
        object.record = raw.toHexBytes();
        if (n["sources"].exists()) {
            readSources(n["sources"], &object);
        }
        object.name = objectNameOf(object.record);
        return object;
    }

    std::vector<std::string> allowed = kObjectKeys;
    if (shape) {
        for (const ShapeField& field : shape->layout->fields()) {
            allowed.push_back(field.name);
        }
    }
    n.allowOnly(allowed, "an object of " + std::string(shape ? "class " : "") +
                             classLabel(object.classNumber));

    ObjectRecord record;
    readField(n, "version", &record.version);
    const Node wordA = n["wordA"];
    const Node wordB = n["wordB"];
    const Node operLog = n["operLog"];
    if (n["id"].exists() && (wordA.exists() || wordB.exists())) {
        n["id"].failAtKey("'id' is also given by 'wordA' and 'wordB': give one or the other");
    }
    readField(n, "id", &record.objectId);
    readField(n, "wordALow", &record.wordALow);
    readField(n, "wordBLow", &record.wordBLow);
    if (record.wordALow & kOperLogBit) {
        n["wordALow"].fail("bit 0x100 of word A announces the operation-log block: give "
                           "'operLog' instead");
    }
    bool operLogAnnounced = false;
    if (wordA.exists()) {
        if (n["wordALow"].exists()) {
            n["wordALow"].failAtKey("'wordALow' is also given by 'wordA'");
        }
        const uint32_t a = static_cast<uint32_t>(wordA.toInteger(0, UINT32_MAX));
        record.objectId = (record.objectId & 0xFFFF0000u) | (a >> 16);
        record.wordALow = static_cast<uint16_t>(a & 0xFFFFu & ~kOperLogBit);
        operLogAnnounced = (a & kOperLogBit) != 0;
    }
    if (wordB.exists()) {
        if (n["wordBLow"].exists()) {
            n["wordBLow"].failAtKey("'wordBLow' is also given by 'wordB'");
        }
        const uint32_t b = static_cast<uint32_t>(wordB.toInteger(0, UINT32_MAX));
        record.objectId = (record.objectId & 0xFFFFu) | (b & 0xFFFF0000u);
        record.wordBLow = static_cast<uint16_t>(b & 0xFFFFu);
    }
    if (operLog.exists() && !(operLog.isBool() && !operLog.toBool())) {
        OperLogBlock block;
        if (operLog.isObject()) {
            operLog.allowOnly({"reserved", "on", "text"}, "the operation-log block");
            readField(operLog, "reserved", &block.reserved);
            readField(operLog, "on", &block.operLog);
            if (operLog["text"].exists()) {
                block.text = operLog["text"].toRecordText();
            }
        } else if (!operLog.isBool()) {
            operLog.fail("'operLog' must be true, false or an object, found " + operLog.kindName());
        }
        record.operLogBlock = std::move(block);
    } else if (operLogAnnounced) {
        if (operLog.exists()) {
            operLog.fail("'wordA' announces the operation-log block (bit 0x100)");
        }
        record.operLogBlock = OperLogBlock{};
    }

    const Node rect = n["rect"];
    if (!rect.exists()) {
        n.fail(label + ": an object needs \"rect\": [left, top, right, bottom]");
    }
    const std::vector<Node> corners = rect.items();
    if (corners.size() != 4) {
        rect.fail("'rect' must hold four numbers: left, top, right, bottom");
    }
    int32_t* const edges[] = {&record.left, &record.top, &record.right, &record.bottom};
    for (size_t i = 0; i < 4; ++i) {
        *edges[i] = static_cast<int32_t>(corners[i].toInteger(INT32_MIN, INT32_MAX));
    }
    const Outline outline = readPenOrBrush<Outline>(
        n["outline"], {"on", "highByte", "style", "width", "widthY", "color"}, "an outline");
    record.pen = outline.on;
    record.penHighByte = outline.highByte;
    record.penStyle = outline.style;
    record.penWidthX = outline.width;
    record.penWidthY = outline.widthY;
    record.penColor = outline.color;
    const Fill fill =
        readPenOrBrush<Fill>(n["fill"], {"on", "highByte", "style", "color", "hatch"}, "a fill");
    record.brush = fill.on;
    record.brushHighByte = fill.highByte;
    record.brushStyle = fill.style;
    record.brushColor = fill.color;
    record.brushHatch = fill.hatch;
    readField(n, "attr", &record.attr);
    readField(n, "reserved", &record.reserved);
    if (n["name"].exists()) {
        record.name = n["name"].toRecordText();
    }
    readField(n, "value1", &record.value1);
    readField(n, "value2", &record.value2);

    if (n["events"].exists()) {
        const std::vector<Node> events = n["events"].items();
        for (size_t i = 0; i < events.size(); ++i) {
            const Node& event = events[i];
            event.expectObject();
            event.allowOnly({"code", "action", "program"}, "an event");
            if (!event["code"].exists()) {
                event.fail(label + ", event " + std::to_string(i + 1) +
                           ": an event needs "
                           "\"code\"");
            }
            EventRecord handler;
            handler.eventCode = static_cast<int32_t>(event["code"].toInteger(INT32_MIN, INT32_MAX));
            const ProgramSlot slot =
                compileProgramSlot(event, "action", "program", context,
                                   label + ", event " + std::to_string(i + 1) + " (code " +
                                       std::to_string(handler.eventCode) + ")");
            handler.program = slot.program;
            record.events.push_back(std::move(handler));
            object.eventSources.push_back(slot.source);
        }
    }
    if (n["animations"].exists()) {
        const std::vector<Node> animations = n["animations"].items();
        for (size_t i = 0; i < animations.size(); ++i) {
            const Node& node = animations[i];
            node.expectObject();
            std::string kind =
                node["kind"].exists() && node["kind"].isString() ? node["kind"].toText() : "raw";
            CompiledAnimation compiled = compileAnimation(
                node, context, label + ", animation " + std::to_string(i + 1) + " (" + kind + ")");
            record.animations.push_back(std::move(compiled.entry));
            object.expressions.push_back(std::move(compiled.source));
            for (LimitSource& limit : compiled.limits) {
                limit.animation = static_cast<int>(i);
                object.limitSources.push_back(std::move(limit));
            }
        }
    }

    const Node extraRaw = n["extraRaw"];
    if (extraRaw.exists()) {
        if (shape) {
            for (const ShapeField& field : shape->layout->fields()) {
                if (n[field.name].exists()) {
                    n[field.name].failAtKey("'" + field.name +
                                            "' cannot be combined with 'extraRaw', which "
                                            "replaces the class's fields");
                }
            }
        }
        record.extra = extraRaw.toHexBytes();
    } else if (shape) {
        ShapeValues values;
        for (const ShapeField& field : shape->layout->fields()) {
            const Node value = n[field.name];
            if (value.exists()) {
                values[field.name] = readShapeValue(value, field.kind);
            }
        }
        record.extra = shape->layout->encode(values);
    }

    std::optional<int32_t> eventCount;
    std::optional<int32_t> animationCount;
    if (n["eventCount"].exists()) {
        eventCount = static_cast<int32_t>(n["eventCount"].toInteger(INT32_MIN, INT32_MAX));
    }
    if (n["animationCount"].exists()) {
        animationCount = static_cast<int32_t>(n["animationCount"].toInteger(INT32_MIN, INT32_MAX));
    }
    object.record = encodeWithCounts(record, eventCount, animationCount);
    if (n["rawTail"].exists()) {
        object.record += n["rawTail"].toHexBytes();
    }
    if (n["sources"].exists()) {
        readSources(n["sources"], &object);
    }
    object.name = objectNameOf(object.record);
    return object;
}

JsonOut dumpObject(const ObjectDef& object, const ScreenContext& context) {
    bool decoded = false;
    JsonOut json = decodedObject(object, context, &decoded);
    if (!decoded) {
        return rawObject(object);
    }
    // The JSON must compile to the same record; the sources it does not give by itself are
    // added as an explicit list.
    ObjectDef derived;
    const bool compiles = readsBack(json, [&](const Node& node) {
        derived = compileObject(node, context, "", 0);
        return true;
    });
    if (!compiles || derived.record != object.record || derived.classNumber != object.classNumber) {
        return rawObject(object);
    }
    JsonOut sources = sourcesJson(object, derived);
    if (!sources.empty()) {
        json.add("sources", std::move(sources));
    }
    const bool faithful = readsBack(json, [&](const Node& node) {
        return sameObject(compileObject(node, context, "", 0), object);
    });
    return faithful ? json : rawObject(object);
}

} // namespace kestro
