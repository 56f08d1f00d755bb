// The plug-in entry points, the class descriptors and the type tests of every class.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/shapeclasses.h"
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/polylines.h"
#include "kestrovalumen/shapes/rects.h"
#include "kestrovalumen/shapes/solids.h"
#include "runtime/host/registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern "C" int __plugin_init(char* buffer);
extern "C" int __plugin_cleanup();

namespace {

using Accessor = rtti::clazz_c* (*)();

template <class Class>
rtti::clazz_c* DescriptorOf() {
    return Class::static_clazz();
}

struct ClassRow {
    const char* name;
    uint32_t number;
    bool answersInterface; //!< recognises draw_object_c's descriptor
    Accessor descriptor;
};

constexpr bool WithInterface = true;
constexpr bool WithoutInterface = false;

#define KV_CLASS_ROW(Class, Number, Recognition) {#Class, Number, Recognition, DescriptorOf<Class>},
const ClassRow kRegistered[] = {KV_SHAPE_CLASSES(KV_CLASS_ROW)};
#undef KV_CLASS_ROW
constexpr size_t kRegisteredCount = sizeof kRegistered / sizeof kRegistered[0];

const ClassRow kBase = {"CDrawObj", 0x5037, true, DescriptorOf<CDrawObj>};

//! Every class with instances: the base first, then the registered ones.
std::vector<ClassRow> AllClasses() {
    std::vector<ClassRow> rows{kBase};
    rows.insert(rows.end(), std::begin(kRegistered), std::end(kRegistered));
    return rows;
}

//! A descriptor that belongs to no class of the module.
class StrangerClazz : public rtti::clazz_c {
public:
    std::string class_name() const override { return "stranger"; }
    uint32_t class_id() const override { return 0x5037; }
};

// Runs first, before anything else in this program has asked for a descriptor.
TEST(ClassDescriptor, OneInstanceUnderConcurrentFirstUse) {
    const std::vector<ClassRow> rows = AllClasses();
    constexpr int kThreads = 8;
    std::vector<std::vector<rtti::clazz_c*>> seen(kThreads);
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (!go) {
                std::this_thread::yield();
            }
            for (const ClassRow& row : rows) {
                seen[t].push_back(row.descriptor());
            }
        });
    }
    while (ready < kThreads) {
        std::this_thread::yield();
    }
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_NE(seen[0][i], nullptr) << rows[i].name;
        for (int t = 1; t < kThreads; ++t) {
            EXPECT_EQ(seen[t][i], seen[0][i]) << rows[i].name << " in thread " << t;
        }
        EXPECT_EQ(rows[i].descriptor(), seen[0][i]) << rows[i].name;
    }
}

TEST(ClassDescriptor, NamesNumbersAndInstances) {
    for (const ClassRow& row : AllClasses()) {
        SCOPED_TRACE(row.name);
        rtti::clazz_c* descriptor = row.descriptor();
        EXPECT_EQ(descriptor->class_name(), row.name);
        EXPECT_EQ(descriptor->class_id(), row.number);
        std::unique_ptr<rtti::object_c> object(descriptor->create_object());
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->get_clazz(), descriptor);
        EXPECT_EQ(object->get_clazz()->class_name(), row.name);
    }
    // Two objects of one class are two instances with one descriptor.
    std::unique_ptr<rtti::object_c> a(kRegistered[0].descriptor()->create_object());
    std::unique_ptr<rtti::object_c> b(kRegistered[0].descriptor()->create_object());
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(a->get_clazz(), b->get_clazz());
}

TEST(ClassDescriptor, TypeTestsOfEveryClassAgainstEveryDescriptor) {
    const std::vector<ClassRow> classes = AllClasses();
    StrangerClazz stranger;

    struct Column {
        std::string name;
        const rtti::clazz_c* descriptor;
    };
    std::vector<Column> columns = {{"object_c", rtti::object_c::static_clazz()},
                                   {"draw_object_c", draw_object_c::static_clazz()}};
    for (const ClassRow& row : classes) {
        columns.push_back({row.name, row.descriptor()});
    }
    columns.push_back({"stranger", &stranger});
    ASSERT_EQ(classes.size(), 34u);
    ASSERT_EQ(columns.size(), 37u);

    for (const ClassRow& row : classes) {
        std::unique_ptr<rtti::object_c> object(row.descriptor()->create_object());
        ASSERT_NE(object, nullptr) << row.name;
        for (const Column& column : columns) {
            const bool expected = column.name == "object_c" ||
                                  (column.name == "draw_object_c" && row.answersInterface) ||
                                  column.name == "CDrawObj" || column.name == row.name;
            SCOPED_TRACE(std::string(row.name) + " against " + column.name);
            EXPECT_EQ(object->is_kind_of(column.descriptor), expected);
            EXPECT_EQ(object->cast_to(column.descriptor), expected ? object.get() : nullptr);
        }
        EXPECT_EQ(object->is_kind_of(nullptr), false) << row.name;
    }
}

TEST(PluginEntry, WritesExactlyTheIdentifier) {
    unsigned char buffer[64];
    std::memset(buffer, 0xAA, sizeof buffer);
    ASSERT_EQ(__plugin_init(reinterpret_cast<char*>(buffer)), 1);
    EXPECT_EQ(std::memcmp(buffer, "vorn_kestrovalumen", 18), 0);
    EXPECT_EQ(buffer[18], 0);
    for (size_t i = 19; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], 0xAA) << "byte " << i;
    }
    EXPECT_EQ(__plugin_cleanup(), 1);
}

TEST(PluginEntry, RegistersInTableOrderAndUnregistersTheSameInstances) {
    kestro::ClassRegistry& registry = kestro::ClassRegistry::instance();
    ASSERT_TRUE(registry.classes().empty());
    registry.clearHistory();

    char buffer[19];
    ASSERT_EQ(__plugin_init(buffer), 1);
    const std::vector<kestro::ClassRegistry::Event> registered = registry.history();
    ASSERT_EQ(registered.size(), kRegisteredCount);
    ASSERT_EQ(registry.classes().size(), kRegisteredCount);
    for (size_t i = 0; i < kRegisteredCount; ++i) {
        SCOPED_TRACE(kRegistered[i].name);
        EXPECT_TRUE(registered[i].registered);
        EXPECT_TRUE(registered[i].accepted);
        ASSERT_NE(registered[i].descriptor, nullptr);
        EXPECT_EQ(registered[i].descriptor, kRegistered[i].descriptor());
        EXPECT_EQ(registry.classes()[i], registered[i].descriptor);
        EXPECT_NE(registered[i].descriptor, CDrawObj::static_clazz());
    }
    EXPECT_EQ(registry.byNumber(0x5037), nullptr);

    registry.clearHistory();
    ASSERT_EQ(__plugin_cleanup(), 1);
    const std::vector<kestro::ClassRegistry::Event> withdrawn = registry.history();
    ASSERT_EQ(withdrawn.size(), kRegisteredCount);
    for (size_t i = 0; i < kRegisteredCount; ++i) {
        SCOPED_TRACE(kRegistered[i].name);
        EXPECT_FALSE(withdrawn[i].registered);
        EXPECT_TRUE(withdrawn[i].accepted);
        EXPECT_EQ(withdrawn[i].descriptor, registered[i].descriptor);
    }
    EXPECT_TRUE(registry.classes().empty());
}

} // namespace
