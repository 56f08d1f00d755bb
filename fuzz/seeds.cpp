// Writes the seed corpora of the fuzz targets, so that no binary seeds live in the repository:
//
//   fuzz_seeds OUTDIR EXAMPLE.json...
//
// OUTDIR/projectjson  the example project files as they are
// OUTDIR/kvs          their compiled containers
// OUTDIR/objects      every object record of the examples, and for each of the 33 classes a
//                     record written by the stream writer with events and every animation kind
//                     (current and old header), each behind its class and version bytes
// OUTDIR/evaluator    the compiled programs of the examples' expressions and of a list that
//                     uses every operator and function
// OUTDIR/compiler     the source texts of those programs
#include "fuzz/fuzzsupport.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/project/projectio.h"
#include "runtime/project/shapecatalog.h"
#include "runtime/script/compiler.h"
#include "runtime/stream/writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Uses every operator, function and value kind of the language, on the fuzz database's tags.
const char* const kExpressions[] = {
    "Level",
    "Level > 80 && !Zero ? 2 : (Level > 60 ? 1 : 0)",
    "Count * 3 + 2 - 1",
    "Count / 2",
    "-Count % 3",
    "Level >= 10 || Count <= 2",
    "Level == 47.5 != 0",
    "Mode + \" T=\" + 21.5",
    "\"a\\\"b\\\\c\\n\\t\\r\\x41\" < \"abd\"",
    "abs(-3) + min(1, 2, 3) + max(4.5, Count) + clamp(Level, 0, 10)",
    "floor(2.7) + ceil(2.1) + round(-2.5) + int(\"42.9 m3\") + float(\"1.5e3 kg\")",
    "str(Level, 2) + str(Count) + len(\"温度\")",
    "div(-7, 2) + sqrt(16) + exp(0) + log(1) + log10(100) + pow(2, 10)",
    "sin(0) + cos(0) + tan(0) + asin(0) + acos(1) + atan(0) + atan2(1, 1)",
    "1e3 + .5 + 1.5E-3",
    "true + false",
    "Unset + 1",
    "Inf * 2",
    "NaN",
    "Empty == \"\"",
    "Max + 1",
    "Tiny * 1e-300",
    "Level / Zero",
    "Mode * 2",
    "((((((((1))))))))",
    "Count ? Level : Mode",
};

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool isOld(const kestro::ProjectVersion& v) {
    const int a[4] = {v.major, v.minor, v.build, v.revision};
    const int b[4] = {3, 2, 5, 1841};
    for (int i = 0; i < 4; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i];
        }
    }
    return false;
}

class Seeds {
public:
    explicit Seeds(fs::path root) : m_root(std::move(root)) {
        for (const char* dir : {"projectjson", "kvs", "objects", "evaluator", "compiler"}) {
            fs::create_directories(m_root / dir);
        }
    }

    void add(const std::string& dir, const std::string& name, const std::string& bytes) {
        if (m_seen[dir].insert(bytes).second) {
            writeFile(m_root / dir / name, bytes);
        }
    }

    //! The source and, when it compiles, its program.
    void expression(const std::string& name, const std::string& source,
                    const kestro::script::Resolver& resolver) {
        if (source.empty()) {
            return;
        }
        add("compiler", name, source);
        const kestro::script::CompileResult compiled = kestro::script::compile(source, resolver);
        if (compiled.ok()) {
            add("evaluator", name, std::string(compiled.bytes.begin(), compiled.bytes.end()));
        }
    }

    void object(const std::string& name, uint8_t classIndex, uint8_t version,
                const std::string& record) {
        std::string bytes;
        bytes.push_back(static_cast<char>(classIndex));
        bytes.push_back(static_cast<char>(version));
        add("objects", name, bytes + record);
    }

private:
    fs::path m_root;
    std::map<std::string, std::set<std::string>> m_seen;
};

int classIndexOf(uint32_t number) {
    const auto& classes = kvfuzz::moduleClasses();
    for (size_t i = 0; i < classes.size(); ++i) {
        if (classes[i]->class_id() == number) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string program(const std::string& source) {
    const kestro::script::CompileResult compiled = kestro::script::compile(source);
    return std::string(compiled.bytes.begin(), compiled.bytes.end());
}

// A record of the class with two events and every animation kind.
std::string fullRecord(const kestro::ShapeClass& shape, kestro::AnimationHeader::Form form,
                       int sizeMode) {
    using namespace kestro;
    ObjectRecord record;
    record.objectId = 0x00020001;
    record.operLogBlock = OperLogBlock{0, 1, "log"};
    record.left = 40;
    record.top = 30;
    record.right = 240;
    record.bottom = 130;
    record.pen = 1;
    record.penWidthX = 2;
    record.penColor = 0x203040;
    record.brush = 1;
    record.brushColor = 0xC0C0C0;
    record.name = shape.name;
    record.events = {{11111, program("Count + 1")}, {-1, ""}};

    auto header = [&](const std::string& source) {
        AnimationHeader h;
        h.form = form;
        h.source = source;
        h.program = program(source);
        return h;
    };
    VisibleRecord visible;
    visible.header = header("Count > 1");
    BlinkRecord blink;
    blink.header = header("Level > 40");
    blink.blinkType = 1;
    blink.blinkPenColor = 0xFF0000;
    PenRecord pen;
    pen.header = header("Level");
    pen.values = {10, 50, 100};
    pen.colors = {0xFF0000, 0x00FF00, 0x0000FF};
    BrushRecord brush;
    brush.header = header("Count");
    brush.values = {1, 3};
    brush.colors = {0x808080, 0x30B030};
    TextColorRecord textColor;
    textColor.header = header("Level");
    textColor.values = {0};
    textColor.colors = {0x123456};
    HMoveRecord hmove;
    hmove.header = header("Level");
    hmove.minOffset = -20;
    hmove.maxOffset = 20;
    hmove.maxValue = 100;
    VMoveRecord vmove;
    vmove.header = header("Count");
    vmove.minOffset = 0;
    vmove.maxOffset = 50;
    vmove.maxValue = 10;
    SizeRecord size;
    size.header = header("Level");
    size.sizeType = 3;
    size.maxValue = 100;
    size.maxPercent = 100;
    size.sizeMode = sizeMode;
    ClickRecord click;
    click.header = header("");
    click.texts = {"", "", "", "", "打印当前屏幕", "", "退出运行环境", ""};
    click.flags = {1, 1, 1, 0, 1, 0, 0, 2};
    click.params = {2, 3, 3, 0, 0, 0, 0, 6};
    click.keyCode = 0x41;
    click.keyFlags = 0x02;
    InputRecord input;
    input.header = header("");
    input.header.version = 11;
    input.inputType = 1;
    input.prompt = "prompt";
    input.upper.isProgram = form == AnimationHeader::Form::Current;
    input.upper.program = program("Count * 10");
    input.upper.value = 100;
    input.lower.value = -5;
    input.varId = 0;
    OutputRecord output;
    output.header = header("Level");
    output.offText = "off";
    output.onText = "on";
    output.outputType = 1;
    output.decimals = 2;
    output.intDigits = 3;
    record.animations = {
        animationEntry(visible), animationEntry(blink),     animationEntry(pen),
        animationEntry(brush),   animationEntry(textColor), animationEntry(hmove),
        animationEntry(vmove),   animationEntry(size),      animationEntry(click),
        animationEntry(input),   animationEntry(output),
    };

    ShapeValues values = shape.layout->defaults();
    for (const ShapeField& field : shape.layout->fields()) {
        if (field.kind == ShapeFieldKind::Points) {
            values[field.name].points = {{40, 30}, {140, 130}, {240, 30}, {200, 100}};
        }
        if (field.kind == ShapeFieldKind::OptionalUInt16) {
            values[field.name].present = false;
        }
    }
    record.extra = shape.layout->encode(values);
    return encodeObject(record);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR EXAMPLE.json...\n");
        return 2;
    }
    kvfuzz::resetPopulatedHost();
    Seeds seeds(argv[1]);

    const kestro::script::Resolver fuzzTags = [](const std::string& tag) {
        for (size_t i = 0; i < kvfuzz::kTagNames.size(); ++i) {
            if (kvfuzz::kTagNames[i] == tag) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };
    int n = 0;
    for (const char* source : kExpressions) {
        seeds.expression("list-" + std::to_string(++n), source, fuzzTags);
    }

    for (int i = 2; i < argc; ++i) {
        const fs::path path(argv[i]);
        const std::string stem = path.stem().string();
        const std::string json = readFile(path);
        seeds.add("projectjson", stem + ".json", json);
        kestro::Project project;
        kestro::ProjectError error;
        if (!kestro::compileProjectJson(json, path.string(), &project, &error)) {
            std::fprintf(stderr, "fuzz_seeds: %s\n", error.text().c_str());
            return 1;
        }
        const std::string kvs = kestro::writeKvs(project);
        seeds.add("kvs", stem + ".kvs", kvs);

        const kestro::script::Resolver projectTags = [&](const std::string& tag) {
            return project.tagIndex(tag);
        };
        const uint8_t version = isOld(project.version) ? kvfuzz::versionIndexFor(3, 2, 5, 1840)
                                                       : kvfuzz::versionIndexFor(4, 0, 0, 0);
        for (const kestro::WindowDef& window : project.windows) {
            for (size_t o = 0; o < window.objects.size(); ++o) {
                const kestro::ObjectDef& object = window.objects[o];
                const std::string name =
                    stem + "-w" + std::to_string(window.number) + "-o" + std::to_string(o);
                const int classIndex = classIndexOf(object.classNumber);
                if (classIndex >= 0) {
                    seeds.object(name, static_cast<uint8_t>(classIndex), version, object.record);
                }
                int e = 0;
                for (const std::string& source : object.expressions) {
                    seeds.expression(name + "-a" + std::to_string(e++), source, projectTags);
                }
                e = 0;
                for (const std::string& source : object.eventSources) {
                    seeds.expression(name + "-e" + std::to_string(e++), source, projectTags);
                }
                e = 0;
                for (const kestro::LimitSource& limit : object.limitSources) {
                    seeds.expression(name + "-l" + std::to_string(e++), limit.source, projectTags);
                }
            }
        }
    }

    // Every class with every animation kind, through the stream writer.
    const uint8_t current = kvfuzz::versionIndexFor(4, 0, 0, 0);
    const uint8_t old = kvfuzz::versionIndexFor(3, 2, 5, 1840);
    for (const kestro::ShapeClass& shape : kestro::shapeClasses()) {
        const int classIndex = classIndexOf(shape.number);
        if (classIndex < 0) {
            continue; // the host's text class
        }
        const auto index = static_cast<uint8_t>(classIndex);
        const std::string name = std::string("writer-") + shape.name;
        const std::string record = fullRecord(shape, kestro::AnimationHeader::Form::Current, 1);
        seeds.object(name + "-clip", index, current, record);
        seeds.object(name + "-resize", index, current,
                     fullRecord(shape, kestro::AnimationHeader::Form::Current, 0));
        seeds.object(name + "-old", index, old,
                     fullRecord(shape, kestro::AnimationHeader::Form::Old, 1));
        // Loaded twice: the second record follows the first.
        seeds.object(name + "-reload", index, static_cast<uint8_t>(current | 0x80),
                     record + record);
    }
    return 0;
}
