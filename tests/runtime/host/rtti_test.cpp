// The host's type roots: the object_c and draw_object_c descriptors, the type tests and
// draw_object_c's own operations.
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/rtti.h"

#include <gtest/gtest.h>

namespace {

// The smallest drawing object: only what draw_object_c leaves pure.
class PlainObject : public draw_object_c {
public:
    void Draw(QPainter*) override {}
    void GetBoundRect(int*, int*, int*, int*) const override {}
    void SetBounds(int, int, int, int) override {}
    int GetAttr() const override { return 0; }
    void ToRelative(int, int, int, int) override {}
    void ToAbsolute(int, int, int, int) override {}
    bool SvrGetProp(prop_value_c*) override { return false; }
    bool SvrSetProp(prop_value_c*) override { return false; }
    int CheckArg(int) override { return 0; }
    uint32_t GetObjectId() const override { return 0; }
    bool deserialize(FF::utils::IBuffer*) override { return false; }
};

class OtherClazz : public rtti::clazz_c {
public:
    std::string class_name() const override { return "other"; }
    uint32_t class_id() const override { return 0x5000; } // same number, different descriptor
};

struct DescriptorCase {
    rtti::clazz_c* descriptor;
    const char* name;
    uint32_t number;
};

TEST(Descriptors, NamesAndNumbersAndNoInstances) {
    const DescriptorCase cases[] = {
        {rtti::object_c::static_clazz(), "object_c", 0},
        {draw_object_c::static_clazz(), "draw_object_c", 0x5000},
    };
    for (const DescriptorCase& c : cases) {
        ASSERT_NE(c.descriptor, nullptr);
        EXPECT_EQ(c.descriptor->class_name(), c.name);
        EXPECT_EQ(c.descriptor->class_id(), c.number);
        EXPECT_EQ(c.descriptor->create_object(), nullptr) << c.name;
    }
    OtherClazz base;
    EXPECT_EQ(base.create_object(), nullptr); // the base operation
}

TEST(DrawObjectTypeTests, RecognisesTheRootAndItselfByAddress) {
    PlainObject object;
    EXPECT_EQ(object.get_clazz(), draw_object_c::static_clazz());
    OtherClazz sameNumber;
    const struct {
        const rtti::clazz_c* descriptor;
        bool recognised;
    } cases[] = {
        {rtti::object_c::static_clazz(), true},
        {draw_object_c::static_clazz(), true},
        {&sameNumber, false},
        {nullptr, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(object.cast_to(c.descriptor), c.recognised ? &object : nullptr);
        EXPECT_EQ(object.is_kind_of(c.descriptor), c.recognised);
    }
}

TEST(DrawObjectOperations, DefaultsOfTheInterface) {
    PlainObject object;
    draw_object_c& d = object;
    EXPECT_FALSE(d.Run(0));
    EXPECT_FALSE(d.Run(11111, 1, 2));
    EXPECT_EQ(d.GetEventArray(), nullptr);
    ASSERT_NE(d.GetName(), nullptr);
    EXPECT_STREQ(d.GetName(), "");
    EXPECT_TRUE(d.IsVisible());
    d.SetScriptHost(reinterpret_cast<Script::IHost*>(0x10));
    EXPECT_EQ(d.GetScriptHost(), nullptr);
    d.SetParent(&object);
    EXPECT_FALSE(d.HasOperLog());
    EXPECT_EQ(d.GetOperLogText(), "");
    EXPECT_EQ(d.CheckBase(), 1);
}

TEST(DrawObjectOperations, DestroyedThroughTheRoot) {
    rtti::object_c* object = new PlainObject;
    EXPECT_TRUE(object->is_kind_of(rtti::object_c::static_clazz()));
    delete object; // the sanitizer build checks that the whole object goes
}

} // namespace
