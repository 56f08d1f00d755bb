// The plug-in identifier and the class descriptors with the type tests of every class.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/shapeclasses.h"
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/polylines.h"
#include "kestrovalumen/shapes/rects.h"
#include "kestrovalumen/shapes/solids.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" int __plugin_init(char* buffer);
extern "C" int __plugin_cleanup();

namespace {

template <class Class>
rtti::clazz_c* DescriptorOf() {
    return Class::static_clazz();
}

struct ClassRow {
    const char* name;
    uint32_t number;
    bool answersInterface; //!< recognises draw_object_c's descriptor
    rtti::clazz_c* (*descriptor)();
};

constexpr bool WithInterface = true;
constexpr bool WithoutInterface = false;

//! A descriptor that belongs to no class of the module.
class StrangerClazz : public rtti::clazz_c {
public:
    std::string class_name() const override { return "stranger"; }
    uint32_t class_id() const override { return 0x5037; }
};

TEST(ClassDescriptor, NamesNumbersAndTypeTestsOfEveryClassAgainstEveryDescriptor) {
#define KV_CLASS_ROW(Class, Number, Recognition) {#Class, Number, Recognition, DescriptorOf<Class>},
    const std::vector<ClassRow> classes = {{"CDrawObj", 0x5037, true, DescriptorOf<CDrawObj>},
                                           KV_SHAPE_CLASSES(KV_CLASS_ROW)};
#undef KV_CLASS_ROW
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
    ASSERT_EQ(columns.size(), 37u);

    for (const ClassRow& row : classes) {
        rtti::clazz_c* descriptor = row.descriptor();
        EXPECT_EQ(descriptor->class_name(), row.name);
        EXPECT_EQ(descriptor->class_id(), row.number) << row.name;
        std::unique_ptr<rtti::object_c> object(descriptor->create_object());
        ASSERT_NE(object, nullptr) << row.name;
        EXPECT_EQ(object->get_clazz(), descriptor) << row.name;
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
    EXPECT_EQ(std::memcmp(buffer, "vorn_kestrovalumen", 19), 0);
    for (size_t i = 19; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], 0xAA) << "byte " << i;
    }
    EXPECT_EQ(__plugin_cleanup(), 1);
}

} // namespace
