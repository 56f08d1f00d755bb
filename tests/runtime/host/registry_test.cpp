// Class registry: order, refused duplicates, lookup by number and name, creation, withdrawal.
#include "kestrovalumen/host/rtti.h"
#include "runtime/host/registry.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using kestro::ClassRegistry;

int g_instances = 0;

class Thing : public rtti::object_c {
public:
    explicit Thing(uint32_t number) : number(number) { ++g_instances; }
    ~Thing() override { --g_instances; }
    bool is_kind_of(const rtti::clazz_c*) const override { return false; }
    rtti::object_c* cast_to(const rtti::clazz_c*) override { return nullptr; }
    uint32_t number;
};

class TestClazz : public rtti::clazz_c {
public:
    TestClazz(std::string name, uint32_t number, bool instantiable = true)
        : m_name(std::move(name)), m_number(number), m_instantiable(instantiable) {}
    rtti::object_c* create_object() const override {
        return m_instantiable ? new Thing(m_number) : nullptr;
    }
    std::string class_name() const override { return m_name; }
    uint32_t class_id() const override { return m_number; }

private:
    std::string m_name;
    uint32_t m_number;
    bool m_instantiable;
};

// Each test leaves the registry as it found it: whatever a test registers is withdrawn here.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        before = ClassRegistry::instance().classes().size();
        ClassRegistry::instance().clearHistory();
    }
    void TearDown() override {
        for (TestClazz* d : {&line, &arc, &rect, &twin, &abstract}) {
            ClassRegistry::instance().remove(d);
        }
        EXPECT_EQ(ClassRegistry::instance().classes().size(), before);
        ClassRegistry::instance().clearHistory();
    }
    size_t before = 0;
    TestClazz line{"TLine", 0x7F02};
    TestClazz arc{"TArc", 0x7F03};
    TestClazz rect{"TRect", 0x7F01};
    TestClazz twin{"TTwin", 0x7F02}; // the number of line
    TestClazz abstract{"TAbstract", 0x7F10, false};
};

std::vector<rtti::clazz_c*> registeredTail(size_t from) {
    const auto& all = ClassRegistry::instance().classes();
    return std::vector<rtti::clazz_c*>(all.begin() + static_cast<long>(from), all.end());
}

TEST_F(Registry, KeepsRegistrationOrderNotNumberOrder) {
    EXPECT_EQ(__register_class(&line), 0);
    EXPECT_EQ(__register_class(&arc), 0);
    EXPECT_EQ(__register_class(&rect), 0);
    EXPECT_EQ(registeredTail(before), (std::vector<rtti::clazz_c*>{&line, &arc, &rect}));
}

TEST_F(Registry, RefusesASecondDescriptorWithTheSameNumber) {
    ASSERT_EQ(__register_class(&line), 0);
    EXPECT_NE(__register_class(&twin), 0);
    EXPECT_NE(__register_class(&line), 0); // the same descriptor again
    EXPECT_NE(__register_class(nullptr), 0);
    EXPECT_EQ(registeredTail(before), (std::vector<rtti::clazz_c*>{&line}));
    EXPECT_EQ(ClassRegistry::instance().byNumber(0x7F02), &line);

    const auto& history = ClassRegistry::instance().history();
    ASSERT_EQ(history.size(), 4u);
    EXPECT_TRUE(history[0].registered && history[0].accepted);
    EXPECT_EQ(history[1].descriptor, &twin);
    EXPECT_FALSE(history[1].accepted);
    EXPECT_FALSE(history[2].accepted);
    EXPECT_FALSE(history[3].accepted);
}

TEST_F(Registry, FindsByNumberAndByName) {
    __register_class(&line);
    __register_class(&arc);
    auto& registry = ClassRegistry::instance();
    EXPECT_EQ(registry.byNumber(0x7F03), &arc);
    EXPECT_EQ(registry.byName("TLine"), &line);
    EXPECT_EQ(registry.byNumber(0x7F01), nullptr);
    EXPECT_EQ(registry.byName("TRect"), nullptr);
    EXPECT_EQ(registry.byName("tline"), nullptr); // names are exact
}

TEST_F(Registry, CreatesThroughTheDescriptor) {
    __register_class(&line);
    __register_class(&abstract);
    auto& registry = ClassRegistry::instance();
    const int instancesBefore = g_instances;
    std::unique_ptr<rtti::object_c> byNumber(registry.create(0x7F02));
    std::unique_ptr<rtti::object_c> byName(registry.create("TLine"));
    ASSERT_NE(byNumber, nullptr);
    ASSERT_NE(byName, nullptr);
    EXPECT_NE(byNumber.get(), byName.get());
    EXPECT_EQ(static_cast<Thing*>(byNumber.get())->number, 0x7F02u);
    EXPECT_EQ(g_instances, instancesBefore + 2);

    EXPECT_EQ(registry.create(0x7F10), nullptr); // registered, no instances
    EXPECT_EQ(registry.create("TAbstract"), nullptr);
    EXPECT_EQ(registry.create(0x7F99), nullptr); // unknown
    EXPECT_EQ(registry.create("Unknown"), nullptr);
}

TEST_F(Registry, UnregisterWithdrawsOnlyThatDescriptor) {
    __register_class(&line);
    __register_class(&arc);
    __register_class(&rect);
    EXPECT_EQ(__unregister_class(&arc), 0);
    EXPECT_NE(__unregister_class(&arc), 0);  // withdrawn already
    EXPECT_NE(__unregister_class(&twin), 0); // never registered, though its number is
    EXPECT_NE(__unregister_class(nullptr), 0);
    EXPECT_EQ(registeredTail(before), (std::vector<rtti::clazz_c*>{&line, &rect}));
    EXPECT_EQ(ClassRegistry::instance().byNumber(0x7F03), nullptr);
    EXPECT_EQ(ClassRegistry::instance().create("TArc"), nullptr);

    // The number is free again, for another descriptor too.
    EXPECT_EQ(__unregister_class(&line), 0);
    EXPECT_EQ(__register_class(&twin), 0);
    EXPECT_EQ(ClassRegistry::instance().byNumber(0x7F02), &twin);
}

} // namespace
