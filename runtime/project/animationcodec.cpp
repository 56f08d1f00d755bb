// Animations between the project file and their records: each kind's fields by name, with the
// defaults a hand-written project starts from, in both directions.
#include "runtime/project/screencodec.h"

#include "runtime/script/compiler.h"

#include <cstring>

namespace kestro {

// ---- tags and programs ----

TagTable::TagTable(const std::vector<TagDef>& tags) {
    for (const TagDef& tag : tags) {
        m_indices.emplace(tag.name, static_cast<int>(m_names.size()));
        m_names.push_back(tag.name);
    }
}

int TagTable::index(const std::string& name) const {
    const auto found = m_indices.find(name);
    return found == m_indices.end() ? -1 : found->second;
}

std::string TagTable::name(int index) const {
    return index >= 0 && static_cast<size_t>(index) < m_names.size()
               ? m_names[static_cast<size_t>(index)]
               : std::string();
}

namespace {

script::CompileResult compileWith(const std::string& source, const ScreenContext& context) {
    const TagTable* tags = context.tags;
    return script::compile(
        source, [tags](const std::string& name) { return tags ? tags->index(name) : -1; });
}

} // namespace

std::string compileExpression(const Node& node, const ScreenContext& context,
                              const std::string& where) {
    const std::string source = node.toText();
    const script::CompileResult result = compileWith(source, context);
    if (!result.ok()) {
        node.failInside(result.error.offset, where + ": " + result.error.message + " (expression " +
                                                 std::to_string(result.error.line) + ":" +
                                                 std::to_string(result.error.column) + ")");
    }
    return std::string(result.bytes.begin(), result.bytes.end());
}

bool expressionProgram(const std::string& source, const ScreenContext& context,
                       std::string* program) {
    const script::CompileResult result = compileWith(source, context);
    if (!result.ok()) {
        return false;
    }
    program->assign(result.bytes.begin(), result.bytes.end());
    return true;
}

ProgramSlot compileProgramSlot(const Node& owner, const char* sourceKey, const char* programKey,
                               const ScreenContext& context, const std::string& where) {
    ProgramSlot slot;
    const Node source = owner[sourceKey];
    const Node program = owner[programKey];
    if (program.exists()) {
        slot.program = program.toHexBytes();
        if (source.exists()) {
            slot.source = source.toText(); // kept for the dump, not compiled
        }
    } else if (source.exists()) {
        slot.source = source.toText();
        if (!slot.source.empty()) {
            slot.program = compileExpression(source, context, where);
        }
    }
    return slot;
}

void dumpProgramSlot(JsonOut& out, const std::string& program, const std::string& source,
                     const char* sourceKey, const char* programKey, const ScreenContext& context) {
    std::string compiled;
    const bool sourceGivesProgram =
        source.empty() ? program.empty()
                       : expressionProgram(source, context, &compiled) && compiled == program;
    if (!source.empty()) {
        out.add(sourceKey, JsonOut::string(source));
    }
    if (!sourceGivesProgram) {
        out.add(programKey, JsonOut::string(hexBytes(program)));
    }
}

// ---- field reads and writes ----

void readField(const Node& node, const char* key, float* field) {
    const Node value = node[key];
    if (value.exists()) {
        *field = value.toFloat32();
    }
}

void readField(const Node& node, const char* key, std::string* field) {
    const Node value = node[key];
    if (value.exists()) {
        *field = value.toRecordText();
    }
}

void readColor(const Node& node, const char* key, uint32_t* field) {
    const Node value = node[key];
    if (value.exists()) {
        *field = value.toColor();
    }
}

namespace {

template <class T>
void writeField(JsonOut& out, const char* key, T value, T standard) {
    if (value != standard) {
        out.add(key, JsonOut::integer(value));
    }
}

void writeField(JsonOut& out, const char* key, float value, float standard) {
    if (std::memcmp(&value, &standard, sizeof value) != 0) {
        out.add(key, JsonOut::float32(value));
    }
}

void writeColor(JsonOut& out, const char* key, uint32_t value, uint32_t standard) {
    if (value != standard) {
        out.add(key, JsonOut::string(colorText(value)));
    }
}

void writeText(JsonOut& out, const char* key, const std::string& value) {
    if (!value.empty()) {
        out.add(key, recordText(value));
    }
}

// ---- the kinds ----

//! The type number of the kind a project file names; 0 for a name of none.
uint32_t kindNamed(const std::string& name) {
    for (uint32_t type = kAniBlink; type <= kAniVisible; ++type) {
        if (name == animationKindName(type)) {
            return type;
        }
    }
    return 0;
}

const std::vector<std::string> kHeaderKeys = {"kind",    "type",         "version", "expression",
                                              "program", "headerSource", "rawTail"};

std::vector<std::string> withHeaderKeys(std::initializer_list<const char*> own) {
    std::vector<std::string> keys = kHeaderKeys;
    keys.insert(keys.end(), own.begin(), own.end());
    return keys;
}

// The kinds whose own fields are all plain values list each field once, in record order, in a
// table: fields(walk) calls walk.field (or walk.color) with the key and the record member. The
// key list, the read and the write are walks over that table.

struct KeyWalk {
    std::vector<std::string> keys = kHeaderKeys;
    template <class Member>
    void field(const char* key, Member) {
        keys.emplace_back(key);
    }
    template <class Member>
    void color(const char* key, Member) {
        keys.emplace_back(key);
    }
};

template <class Record>
struct ReadWalk {
    const Node& node;
    Record& record;
    template <class Member>
    void field(const char* key, Member member) {
        readField(node, key, &(record.*member));
    }
    template <class Member>
    void color(const char* key, Member member) {
        readColor(node, key, &(record.*member));
    }
};

// A value equal to the kind's default is left out; an empty text always is.
template <class Record>
struct WriteWalk {
    JsonOut& out;
    const Record& record;
    const Record& standard;
    template <class Member>
    void field(const char* key, Member member) {
        writeField(out, key, record.*member, standard.*member);
    }
    template <class Owner>
    void field(const char* key, std::string Owner::*member) {
        writeText(out, key, record.*member);
    }
    template <class Member>
    void color(const char* key, Member member) {
        writeColor(out, key, record.*member, standard.*member);
    }
};

// The codec of such a kind; Codec gives defaults() and the table.
template <class Codec, class RecordType>
struct TableCodec {
    using Record = RecordType;
    static std::vector<std::string> keys() {
        KeyWalk walk;
        Codec::fields(walk);
        return walk.keys;
    }
    static void read(const Node& n, Record& r, const ScreenContext&) {
        ReadWalk<Record> walk{n, r};
        Codec::fields(walk);
    }
    static void write(JsonOut& o, const Record& r, const ScreenContext&) {
        const Record d = Codec::defaults();
        WriteWalk<Record> walk{o, r, d};
        Codec::fields(walk);
    }
};

// Every kind: its own fields in both directions, with the record its defaults start from.

struct VisibleCodec : TableCodec<VisibleCodec, VisibleRecord> {
    static Record defaults() { return {}; }
    template <class Walk>
    static void fields(Walk& w) {
        w.field("showType", &Record::showType);
    }
};

struct BlinkCodec : TableCodec<BlinkCodec, BlinkRecord> {
    static Record defaults() { return {}; }
    template <class Walk>
    static void fields(Walk& w) {
        w.field("extra", &Record::blinkExtra);
        w.field("blinkType", &Record::blinkType);
        w.color("textColor", &Record::blinkTextColor);
        w.color("penColor", &Record::blinkPenColor);
        w.color("brushColor", &Record::blinkBrushColor);
    }
};

template <class ColorRecord>
struct ColorTableCodec {
    using Record = ColorRecord;
    static Record defaults() { return {}; }
    static std::vector<std::string> keys() { return withHeaderKeys({"values", "colors"}); }
    static void read(const Node& n, Record& r, const ScreenContext&) {
        if (n["values"].exists()) {
            for (const Node& item : n["values"].items()) {
                r.values.push_back(item.toFloat32());
            }
        }
        if (n["colors"].exists()) {
            for (const Node& item : n["colors"].items()) {
                r.colors.push_back(item.toColor());
            }
        }
    }
    static void write(JsonOut& o, const Record& r, const ScreenContext&) {
        JsonOut values = JsonOut::array();
        for (float value : r.values) {
            values.push(JsonOut::float32(value));
        }
        JsonOut colors = JsonOut::array();
        for (uint32_t color : r.colors) {
            colors.push(JsonOut::string(colorText(color)));
        }
        o.add("values", std::move(values)).add("colors", std::move(colors));
    }
};

template <class MoveKind>
struct MoveCodec : TableCodec<MoveCodec<MoveKind>, MoveKind> {
    static MoveKind defaults() {
        MoveKind r;
        r.maxOffset = 100;
        r.maxValue = 100.0f;
        return r;
    }
    template <class Walk>
    static void fields(Walk& w) {
        w.field("minOffset", &MoveKind::minOffset);
        w.field("maxOffset", &MoveKind::maxOffset);
        w.field("minValue", &MoveKind::minValue);
        w.field("maxValue", &MoveKind::maxValue);
    }
};

struct SizeCodec : TableCodec<SizeCodec, SizeRecord> {
    static Record defaults() {
        Record r;
        r.maxValue = 100.0f;
        r.maxPercent = 100;
        return r;
    }
    template <class Walk>
    static void fields(Walk& w) {
        w.field("sizeType", &Record::sizeType);
        w.field("minValue", &Record::minValue);
        w.field("minPercent", &Record::minPercent);
        w.field("maxValue", &Record::maxValue);
        w.field("maxPercent", &Record::maxPercent);
        w.field("sizeMode", &Record::sizeMode);
    }
};

std::vector<int32_t> readInts(const Node& node) {
    std::vector<int32_t> values;
    for (const Node& item : node.items()) {
        values.push_back(static_cast<int32_t>(item.toInteger(INT32_MIN, INT32_MAX)));
    }
    return values;
}

JsonOut intArray(const std::vector<int32_t>& values) {
    JsonOut array = JsonOut::array();
    for (int32_t value : values) {
        array.push(JsonOut::integer(value));
    }
    return array;
}

struct ClickCodec {
    using Record = ClickRecord;
    static Record defaults() { return {}; }
    static std::vector<std::string> keys() {
        return withHeaderKeys({"texts", "flags", "params", "keyCode", "keyFlags"});
    }
    static void read(const Node& n, Record& r, const ScreenContext&) {
        if (n["texts"].exists()) {
            for (const Node& item : n["texts"].items()) {
                r.texts.push_back(item.toRecordText());
            }
        }
        if (n["flags"].exists()) {
            r.flags = readInts(n["flags"]);
        }
        if (n["params"].exists()) {
            r.params = readInts(n["params"]);
        }
        readField(n, "keyCode", &r.keyCode);
        readField(n, "keyFlags", &r.keyFlags);
    }
    static void write(JsonOut& o, const Record& r, const ScreenContext&) {
        JsonOut texts = JsonOut::array();
        for (const std::string& text : r.texts) {
            texts.push(recordText(text));
        }
        o.add("texts", std::move(texts));
        o.add("flags", intArray(r.flags)).add("params", intArray(r.params));
        writeField(o, "keyCode", r.keyCode, 0);
        writeField(o, "keyFlags", r.keyFlags, 0);
    }
};

struct OutputCodec : TableCodec<OutputCodec, OutputRecord> {
    static Record defaults() {
        Record r;
        r.outputType = 1;
        return r;
    }
    template <class Walk>
    static void fields(Walk& w) {
        w.field("offText", &Record::offText);
        w.field("onText", &Record::onText);
        w.field("outputType", &Record::outputType);
        w.field("decimals", &Record::decimals);
        w.field("intDigits", &Record::intDigits);
        w.field("extra", &Record::outputExtra);
    }
};

// The value input carries up to two more programs, and its layout follows the record version.
struct InputCodec {
    using Record = InputRecord;
    static Record defaults() {
        Record r;
        r.inputType = 1;
        r.upper.value = 100.0f;
        return r;
    }
    static std::vector<std::string> keys() {
        return withHeaderKeys({"inputType", "prompt", "switchText1", "switchText2", "upper",
                               "lower", "var", "noCurrentValue", "keyCode", "keyFlags"});
    }
    static void readLimit(const Node& node, InputLimit* limit, bool upper,
                          const ScreenContext& context, const std::string& where,
                          std::vector<LimitSource>* sources) {
        if (!node.exists()) {
            return;
        }
        if (node.isNumber()) {
            limit->isProgram = false;
            limit->value = node.toFloat32();
            return;
        }
        if (!node.isObject()) {
            node.fail("'" + node.label() + "' must be a number or {\"expression\": ...}, found " +
                      node.kindName());
        }
        node.allowOnly({"expression", "program"}, "a limit");
        if (!node["expression"].exists() && !node["program"].exists()) {
            node.fail("'" + node.label() + "' needs \"expression\" or \"program\"");
        }
        const std::string label = where + ", " + (upper ? "upper" : "lower") + " limit";
        const ProgramSlot slot = compileProgramSlot(node, "expression", "program", context, label);
        limit->isProgram = true;
        limit->program = slot.program;
        sources->push_back({0, upper, slot.source});
    }

    static CompiledAnimation compile(const Node& n, AnimationHeader header,
                                     const ScreenContext& context, const std::string& where) {
        CompiledAnimation compiled;
        Record r = defaults();
        readField(n, "inputType", &r.inputType);
        readField(n, "prompt", &r.prompt);
        readField(n, "switchText1", &r.switchText1);
        readField(n, "switchText2", &r.switchText2);
        readLimit(n["upper"], &r.upper, true, context, where, &compiled.limits);
        readLimit(n["lower"], &r.lower, false, context, where, &compiled.limits);
        const Node var = n["var"];
        if (!var.exists()) {
            n.fail(where + ": a value input needs \"var\": the tag it writes");
        }
        if (var.isString()) {
            r.varId = context.tags ? context.tags->index(var.toText()) : -1;
            if (r.varId < 0) {
                var.fail("unknown tag '" + var.toText() + "'");
            }
        } else {
            readField(n, "var", &r.varId);
        }
        readField(n, "keyCode", &r.keyCode);
        readField(n, "keyFlags", &r.keyFlags);

        const bool hasProgram = r.upper.isProgram || r.lower.isProgram;
        const Node version = n["version"];
        if (header.form == AnimationHeader::Form::Current) {
            header.version = version.exists() ? header.version : (hasProgram ? 11 : 10);
            if (header.version != 10 && header.version != 11) {
                version.fail("a value input record has version 10 or 11 (write others with "
                             "\"raw\")");
            }
        }
        const bool version11 =
            header.form == AnimationHeader::Form::Current && header.version == 11;
        if (hasProgram && !version11) {
            const Node limit = r.upper.isProgram ? n["upper"] : n["lower"];
            limit.fail("a program limit needs a value input record of version 11");
        }
        const Node noCurrent = n["noCurrentValue"];
        if (noCurrent.exists()) {
            r.noCurrentValue = static_cast<int32_t>(
                version11 ? noCurrent.toInteger(0, 1) : noCurrent.toInteger(INT32_MIN, INT32_MAX));
        }
        r.header = std::move(header);
        compiled.entry = animationEntry(r);
        return compiled;
    }

    static void writeLimit(JsonOut& o, const char* key, const InputLimit& limit, float standard,
                           const std::vector<LimitSource>& sources, bool upper,
                           const ScreenContext& context) {
        if (!limit.isProgram) {
            writeField(o, key, limit.value, standard);
            return;
        }
        std::string source;
        for (const LimitSource& candidate : sources) {
            if (candidate.upper == upper) {
                source = candidate.source;
                break;
            }
        }
        JsonOut slot = JsonOut::object();
        dumpProgramSlot(slot, limit.program, source, "expression", "program", context);
        if (slot.empty()) {
            slot.add("program", JsonOut::string(""));
        }
        o.add(key, std::move(slot));
    }

    static void write(JsonOut& o, const Record& r, const std::vector<LimitSource>& sources,
                      const ScreenContext& context) {
        const Record d = defaults();
        writeField(o, "inputType", r.inputType, d.inputType);
        writeText(o, "prompt", r.prompt);
        writeText(o, "switchText1", r.switchText1);
        writeText(o, "switchText2", r.switchText2);
        writeLimit(o, "upper", r.upper, d.upper.value, sources, true, context);
        writeLimit(o, "lower", r.lower, d.lower.value, sources, false, context);
        const std::string tag = context.tags ? context.tags->name(r.varId) : std::string();
        o.add("var", tag.empty() ? JsonOut::integer(r.varId) : JsonOut::string(tag));
        writeField(o, "noCurrentValue", r.noCurrentValue, 0);
        writeField(o, "keyCode", r.keyCode, 0);
        writeField(o, "keyFlags", r.keyFlags, 0);
    }
};

// The header fields every kind shares.
AnimationHeader compileHeader(const Node& n, const ScreenContext& context, const std::string& where,
                              std::string* source) {
    AnimationHeader header;
    header.form = context.form;
    const ProgramSlot slot = compileProgramSlot(n, "expression", "program", context, where);
    header.program = slot.program;
    *source = slot.source;
    const Node version = n["version"];
    const Node headerSource = n["headerSource"];
    if (context.form == AnimationHeader::Form::Current) {
        if (headerSource.exists()) {
            headerSource.failAtKey("'headerSource' belongs to the old animation header of "
                                   "projects before version 3.2.5.1841");
        }
        readField(n, "version", &header.version);
    } else {
        if (version.exists()) {
            version.failAtKey("the old animation header of projects before version "
                              "3.2.5.1841 has no version byte");
        }
        header.source = headerSource.exists() ? headerSource.toRecordText() : slot.source;
    }
    return header;
}

void dumpHeader(JsonOut& o, const AnimationHeader& header, const std::string& source,
                uint8_t standardVersion, const ScreenContext& context) {
    if (header.form == AnimationHeader::Form::Current) {
        writeField<int>(o, "version", header.version, standardVersion);
    }
    dumpProgramSlot(o, header.program, source, "expression", "program", context);
    if (header.form == AnimationHeader::Form::Old && header.source != source) {
        o.add("headerSource", recordText(header.source));
    }
}

template <class Codec>
CompiledAnimation compileKind(const Node& n, const ScreenContext& context,
                              const std::string& where) {
    n.allowOnly(Codec::keys(), "an animation of this kind");
    CompiledAnimation compiled;
    typename Codec::Record record = Codec::defaults();
    record.header = compileHeader(n, context, where, &compiled.source);
    Codec::read(n, record, context);
    compiled.entry = animationEntry(record);
    return compiled;
}

template <>
CompiledAnimation compileKind<InputCodec>(const Node& n, const ScreenContext& context,
                                          const std::string& where) {
    n.allowOnly(InputCodec::keys(), "an animation of this kind");
    std::string source;
    const AnimationHeader header = compileHeader(n, context, where, &source);
    CompiledAnimation compiled = InputCodec::compile(n, header, context, where);
    compiled.source = source;
    return compiled;
}

CompiledAnimation compileByType(uint32_t type, const Node& n, const ScreenContext& context,
                                const std::string& where) {
    switch (type) {
    case kAniVisible:
        return compileKind<VisibleCodec>(n, context, where);
    case kAniBlink:
        return compileKind<BlinkCodec>(n, context, where);
    case kAniPen:
        return compileKind<ColorTableCodec<PenRecord>>(n, context, where);
    case kAniBrush:
        return compileKind<ColorTableCodec<BrushRecord>>(n, context, where);
    case kAniTextColor:
        return compileKind<ColorTableCodec<TextColorRecord>>(n, context, where);
    case kAniHMove:
        return compileKind<MoveCodec<HMoveRecord>>(n, context, where);
    case kAniVMove:
        return compileKind<MoveCodec<VMoveRecord>>(n, context, where);
    case kAniSize:
        return compileKind<SizeCodec>(n, context, where);
    case kAniClick:
        return compileKind<ClickCodec>(n, context, where);
    case kAniInput:
        return compileKind<InputCodec>(n, context, where);
    default:
        return compileKind<OutputCodec>(n, context, where);
    }
}

struct DumpVisitor {
    JsonOut& out;
    const std::string& source;
    const std::vector<LimitSource>& limits;
    const ScreenContext& context;

    template <class Codec, class Record>
    void fields(const Record& record) {
        dumpHeader(out, record.header, source, 10, context);
        Codec::write(out, record, context);
    }
    void operator()(const VisibleRecord& r) { fields<VisibleCodec>(r); }
    void operator()(const BlinkRecord& r) { fields<BlinkCodec>(r); }
    void operator()(const PenRecord& r) { fields<ColorTableCodec<PenRecord>>(r); }
    void operator()(const BrushRecord& r) { fields<ColorTableCodec<BrushRecord>>(r); }
    void operator()(const TextColorRecord& r) { fields<ColorTableCodec<TextColorRecord>>(r); }
    void operator()(const HMoveRecord& r) { fields<MoveCodec<HMoveRecord>>(r); }
    void operator()(const VMoveRecord& r) { fields<MoveCodec<VMoveRecord>>(r); }
    void operator()(const SizeRecord& r) { fields<SizeCodec>(r); }
    void operator()(const ClickRecord& r) { fields<ClickCodec>(r); }
    void operator()(const OutputRecord& r) { fields<OutputCodec>(r); }
    void operator()(const InputRecord& r) {
        const bool hasProgram = r.upper.isProgram || r.lower.isProgram;
        dumpHeader(out, r.header, source, hasProgram ? 11 : 10, context);
        InputCodec::write(out, r, limits, context);
    }
};

JsonOut rawAnimation(const AnimationEntry& entry, const std::string& source) {
    JsonOut out = JsonOut::object();
    if (*animationKindName(entry.typeId) != '\0') {
        out.add("kind", JsonOut::string(animationKindName(entry.typeId)));
    } else {
        out.add("type", JsonOut::integer(entry.typeId));
    }
    out.add("raw", JsonOut::string(hexBytes(entry.record)));
    if (!source.empty()) {
        out.add("expression", JsonOut::string(source));
    }
    return out;
}

bool sameSources(const std::vector<LimitSource>& a, const std::vector<LimitSource>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].upper != b[i].upper || a[i].source != b[i].source) {
            return false;
        }
    }
    return true;
}

} // namespace

CompiledAnimation compileAnimation(const Node& n, const ScreenContext& context,
                                   const std::string& where) {
    n.expectObject();
    const Node kindNode = n["kind"];
    const Node typeNode = n["type"];
    uint32_t kind = 0; // none named
    if (kindNode.exists()) {
        kind = kindNamed(kindNode.toText());
        if (kind == 0) {
            kindNode.fail("unknown animation kind '" + kindNode.toText() +
                          "' (expected visible, blink, pen, brush, textColor, hmove, vmove, "
                          "size, click, input or output)");
        }
    }
    const uint32_t type =
        typeNode.exists() ? static_cast<uint32_t>(typeNode.toInteger(0, UINT32_MAX)) : kind;
    CompiledAnimation compiled;
    const Node raw = n["raw"];
    if (raw.exists()) {
        n.allowOnly({"kind", "type", "raw", "rawTail", "expression"}, "a raw animation");
        if (kind == 0 && !typeNode.exists()) {
            n.fail(where + ": a raw animation needs \"kind\" or \"type\"");
        }
        compiled.entry = {type, raw.toHexBytes()};
        if (n["expression"].exists()) {
            compiled.source = n["expression"].toText(); // kept for the dump, not compiled
        }
    } else {
        if (kind == 0) {
            n.fail(where + ": an animation needs \"kind\" (or \"type\" with \"raw\")");
        }
        compiled = compileByType(kind, n, context, where);
        compiled.entry.typeId = type;
    }
    if (n["rawTail"].exists()) {
        compiled.entry.record += n["rawTail"].toHexBytes();
    }
    return compiled;
}

JsonOut dumpAnimation(const AnimationEntry& entry, const std::string& source,
                      const std::vector<LimitSource>& limits, const ScreenContext& context) {
    StreamReader in(entry.record);
    AnimationRecord record;
    if (!readAnimation(in, entry.typeId, context.form, &record) || !in.atEnd()) {
        return rawAnimation(entry, source);
    }
    JsonOut out = JsonOut::object();
    out.add("kind", JsonOut::string(animationKindName(entry.typeId)));
    std::visit(DumpVisitor{out, source, limits, context}, record);
    // The JSON must compile to these very bytes and sources; where it would not (a value JSON
    // cannot carry, an unusual encoding), the raw bytes are the faithful form.
    const bool faithful = readsBack(out, [&](const Node& node) {
        const CompiledAnimation back = compileAnimation(node, context, "");
        return back.entry.typeId == entry.typeId && back.entry.record == entry.record &&
               back.source == source && sameSources(back.limits, limits);
    });
    return faithful ? out : rawAnimation(entry, source);
}

} // namespace kestro
