// Loading: a large window's object records read through the class descriptors from one stream,
// against memcpy of the same bytes; and the heap an object holds once loaded.
#include "bench/benches.h"
#include "bench/heapcount.h"
#include "bench/table.h"
#include "bench/world.h"

#include "kestrovalumen/host/gui.h"
#include "runtime/host/gui.h"
#include "runtime/host/registry.h"

#include <QJsonArray>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kvbench {

namespace {

constexpr int kObjects = 10000;

//! Every shape of the example in turn, each with a fill colour and a visibility animation.
struct LoadSet {
    std::string bytes;                       //!< every record, back to back, as one stream
    std::vector<rtti::clazz_c*> descriptors; //!< the class of each record
    kestro::ProjectVersion version;

    LoadSet() {
        const QJsonObject example = readJson(sourceDir() + "/examples/all-classes.json");
        const QJsonArray shapes = example["windows"].toArray()[0].toObject()["objects"].toArray();
        QJsonArray objects;
        for (int i = 0; i < kObjects; ++i) {
            QJsonObject object = shapes[i % shapes.size()].toObject();
            object["name"] = QString("Object%1").arg(i);
            object["animations"] =
                QJsonArray{QJsonObject{{"kind", "brush"},
                                       {"expression", "Level"},
                                       {"values", QJsonArray{50, 100}},
                                       {"colors", QJsonArray{"#00FF00", "#FF0000"}}},
                           QJsonObject{{"kind", "visible"}, {"expression", "Level > 50"}}};
            objects.append(object);
        }
        const kestro::Project project = compileProject(
            QJsonObject{{"version", "4.0.0.0"},
                        {"tags", QJsonArray{QJsonObject{{"name", "Level"}}}},
                        {"windows", QJsonArray{QJsonObject{
                                        {"number", 1}, {"name", "large"}, {"objects", objects}}}}},
            "large.json");
        version = project.version;
        plugins();
        for (const kestro::ObjectDef& def : project.windows[0].objects) {
            bytes += def.record;
            rtti::clazz_c* descriptor = kestro::ClassRegistry::instance().byNumber(def.classNumber);
            if (descriptor == nullptr) {
                fail("class " + std::to_string(def.classNumber) + " is not registered");
            }
            descriptors.push_back(descriptor);
        }
    }
};

LoadSet& loadSet() {
    static auto* set = new LoadSet;
    return *set;
}

//! Creates and loads every object of the stream; false when one does not load.
bool loadAll(FF::utils::MemoryBuffer& stream, std::vector<draw_object_c*>& objects) {
    stream.seek(0);
    for (rtti::clazz_c* descriptor : loadSet().descriptors) {
        auto* object = static_cast<draw_object_c*>(descriptor->create_object());
        objects.push_back(object);
        if (!object->deserialize(&stream)) {
            return false;
        }
    }
    return stream.position() == stream.length();
}

void destroyAll(std::vector<draw_object_c*>& objects) {
    for (draw_object_c* object : objects) {
        delete object;
    }
    objects.clear();
}

} // namespace

void registerLoadBenchmarks() {
    addRow("load", "large");
    struct State {
        std::unique_ptr<FF::utils::MemoryBuffer> stream;
        std::vector<draw_object_c*> objects;
    };
    auto state = std::make_shared<State>();
    Workload load{"load/large/module",
                  [state] {
                      dropStage();
                      LoadSet& set = loadSet();
                      kestro::Gui::instance().setProjectVersion(set.version);
                      state->stream = std::make_unique<FF::utils::MemoryBuffer>(set.bytes.data(),
                                                                                set.bytes.size());
                      state->objects.reserve(set.descriptors.size());
                  },
                  [state] {
                      if (!loadAll(*state->stream, state->objects)) {
                          fail("a record of the large window did not load");
                      }
                  },
                  [state] { destroyAll(state->objects); }};
    load.bytes = static_cast<int64_t>(loadSet().bytes.size());
    addWorkload(load);
    auto target = std::make_shared<std::vector<char>>();
    Workload copy{"load/large/memcpy",
                  [target] { target->resize(loadSet().bytes.size()); },
                  [target] {
                      std::memcpy(target->data(), loadSet().bytes.data(), target->size());
                      benchmark::ClobberMemory();
                  },
                  {}};
    copy.bytes = load.bytes;
    addWorkload(copy);
}

void countLoadMemory() {
    LoadSet& set = loadSet();
    setFact("load/large/bytes", static_cast<double>(set.bytes.size()));
    setFact("load/large/objects", static_cast<double>(set.descriptors.size()));
    if (!heapCounted()) {
        return;
    }
    dropStage();
    kestro::Gui::instance().setProjectVersion(set.version);
    FF::utils::MemoryBuffer stream(set.bytes.data(), set.bytes.size());
    std::vector<draw_object_c*> objects;
    objects.reserve(set.descriptors.size());
    // Warm: whatever the plug-ins and Qt set up once is not the objects'.
    loadAll(stream, objects);
    destroyAll(objects);
    const HeapCount held = heapOf([&] {
        if (!loadAll(stream, objects)) {
            fail("a record of the large window did not load");
        }
    });
    const double n = static_cast<double>(objects.size());
    setFact("memory/bytes-per-object", static_cast<double>(held.bytes) / n);
    setFact("memory/allocations-per-object", static_cast<double>(held.allocations) / n);
    destroyAll(objects);
}

} // namespace kvbench
