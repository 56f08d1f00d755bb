// Owners loaded from written records, and a fixture whose database tags the programs read.
#pragma once

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/drawobj.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/script/compiler.h"
#include "runtime/stream/writer.h"
#include "tests/support/hostfixture.h"
#include "tests/support/printers.h"
#include "tests/support/reports.h"
#include "tests/support/scriptedresults.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace anitest {

//! A drawing object of the given kind (1 and 2 have a text) that counts the texts it is given.
class TextOwner : public CDrawObj {
public:
    explicit TextOwner(int kind = 2) : m_kind(kind) {}
    int GetObjType() const override { return m_kind; }
    void GetText(std::string& out) const override { out = m_text; }
    void SetText(std::string text) override {
        m_text = std::move(text);
        ++setTextCalls;
    }
    const std::string& text() const { return m_text; }

    int setTextCalls = 0;
    std::string m_text;

private:
    int m_kind;
};

inline std::string Program(const std::string& source) {
    const kestro::script::CompileResult result = kestro::script::compile(source);
    EXPECT_TRUE(result.ok()) << source << ": " << result.error.text();
    return std::string(result.bytes.begin(), result.bytes.end());
}

template <class R>
kestro::AnimationEntry Entry(R record, const std::string& source) {
    record.header.program = Program(source);
    return kestro::animationEntry(record);
}

inline void Load(CDrawObj& owner, const kestro::ObjectRecord& record) {
    const std::string bytes = kestro::encodeObject(record);
    FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
    ASSERT_TRUE(owner.deserialize(&buffer));
}

//! A record of the rectangle with outline and fill on.
inline kestro::ObjectRecord Record(int left, int top, int right, int bottom) {
    kestro::ObjectRecord record;
    record.left = left, record.top = top, record.right = right, record.bottom = bottom;
    record.pen = record.penWidthX = record.brush = 1;
    record.brushColor = 0xC0C0C0;
    return record;
}

class AnimationTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        level = define("Level", kestro::VarType::Float);
    }
    int define(const std::string& name, kestro::VarType type) {
        return kestro::Rtdb::instance().define(name, type);
    }
    void set(int tag, double value) {
        ASSERT_EQ(kestro::Rtdb::instance().setFloat(tag, value), kestro::RtdbOk);
    }

    //! Loads target from the record plus these animations, with the database as its expression
    //! host; returns the first animation.
    template <class T>
    T* attach(CDrawObj& target, kestro::ObjectRecord record,
              const std::vector<kestro::AnimationEntry>& animations) {
        record.animations.insert(record.animations.end(), animations.begin(), animations.end());
        Load(target, record);
        target.SetScriptHost(&host);
        return dynamic_cast<T*>(target.AnimationAt(0));
    }

    static unsigned long long scriptRuns() { return kvtest::scriptRuns(); }

    kestro::RtdbScriptHost host;
    int level = -1;
};

} // namespace anitest
