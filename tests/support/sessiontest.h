// The real plug-in loaded from the build's lib directory, and a builder of small projects.
#pragma once

#include "runtime/host/registry.h"
#include "runtime/project/project.h"
#include "runtime/script/compiler.h"
#include "runtime/session/pluginloader.h"
#include "runtime/session/session.h"
#include "runtime/stream/shaperecords.h"
#include "runtime/stream/writer.h"
#include "tests/support/hostfixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace sessiontest {

constexpr uint32_t kRect = 0x5004;
constexpr uint32_t kEllipse = 0x5006;

inline std::string pluginDir() {
    const char* dir = std::getenv("KV_BINARY_DIR");
    return std::string(dir ? dir : "") + "/lib";
}

//! Loads the plug-in once per test program; unloaded when the suite ends, while the registry
//! still exists.
class PluginTest : public HostTest {
protected:
    static void SetUpTestSuite() {
        s_plugins = std::make_unique<kestro::PluginSet>();
        s_error.clear();
        if (s_plugins->loadDirectory(pluginDir(), &s_error) && s_plugins->plugins().empty()) {
            s_error = "no plug-in in " + pluginDir();
        }
    }
    static void TearDownTestSuite() { s_plugins.reset(); }

    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(s_error.empty()) << s_error;
    }

    static kestro::SessionOptions options() {
        kestro::SessionOptions o;
        o.plugins = s_plugins.get();
        return o;
    }

    static inline std::unique_ptr<kestro::PluginSet> s_plugins;
    static inline std::string s_error;
};

//! Builds a project: tags first (their positions are the variable indices the programs use),
//! then windows of objects.
class ProjectBuilder {
public:
    ProjectBuilder() {
        project.version = {3, 2, 5, 1841, "3.2.5.1841"};
        project.startWindow = 1;
    }

    int tag(const std::string& name, kestro::VarType type, double initial = 0.0) {
        kestro::TagDef tag;
        tag.name = name;
        tag.type = type;
        tag.number = initial;
        project.tags.push_back(tag);
        return static_cast<int>(project.tags.size()) - 1;
    }

    kestro::WindowDef& window(int number, int width = 200, int height = 100,
                              uint32_t background = 0xFFFFFF) {
        kestro::WindowDef window;
        window.number = number;
        window.name = "Window " + std::to_string(number);
        window.width = width;
        window.height = height;
        window.background = background;
        project.windows.push_back(window);
        return project.windows.back();
    }

    int tagIndex(const std::string& name) const {
        for (size_t i = 0; i < project.tags.size(); ++i) {
            if (project.tags[i].name == name) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    //! The compiled program of an expression over the tags defined so far.
    std::string program(const std::string& source) const {
        const auto result = kestro::script::compile(
            source, [this](const std::string& name) { return tagIndex(name); });
        EXPECT_TRUE(result.ok()) << source << ": " << result.error.text();
        return std::string(result.bytes.begin(), result.bytes.end());
    }

    kestro::AnimationHeader header(const std::string& source) const {
        kestro::AnimationHeader h;
        h.program = program(source);
        return h;
    }

    //! A numeric value input that writes a tag defined before, with its limits as numbers.
    kestro::InputRecord numberInput(const std::string& tag, float lower, float upper) const {
        kestro::InputRecord input;
        input.header = header(tag);
        input.inputType = 1;
        input.varId = tagIndex(tag);
        input.upper.value = upper;
        input.lower.value = lower;
        return input;
    }

    static kestro::ObjectRecord shape(const std::string& name, int left, int top, int right,
                                      int bottom, uint32_t fill) {
        kestro::ObjectRecord r;
        r.name = name;
        r.left = left;
        r.top = top;
        r.right = right;
        r.bottom = bottom;
        r.brush = 1;
        r.brushColor = fill;
        return r;
    }

    static kestro::ObjectDef object(const kestro::ObjectRecord& record,
                                    uint32_t classNumber = kRect) {
        kestro::ObjectDef def;
        def.classNumber = classNumber;
        def.name = record.name;
        def.record = kestro::encodeObject(record);
        return def;
    }

    //! A click record with one action slot on; the other slots off.
    static kestro::ClickRecord click(size_t slot, int32_t flag, int32_t parameter,
                                     const std::string& text = "") {
        kestro::ClickRecord c;
        c.texts.assign(8, std::string());
        c.flags.assign(8, 0);
        c.params.assign(8, -1);
        c.flags[slot] = flag;
        c.params[slot] = parameter;
        c.texts[slot] = text;
        return c;
    }

    kestro::Project project;
};

inline double floatTag(int index) {
    double value = 0.0;
    EXPECT_EQ(kestro::Rtdb::instance().getFloat(index, &value), kestro::RtdbOk);
    return value;
}

inline int intTag(int index) {
    int value = 0;
    EXPECT_EQ(kestro::Rtdb::instance().getInt(index, &value), kestro::RtdbOk);
    return value;
}

} // namespace sessiontest
