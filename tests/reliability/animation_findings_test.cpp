// Animation faults that fuzzing found, each with the smallest record that shows it.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/shapes/rects.h"
#include "runtime/host/gui.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/stream/writer.h"
#include "tests/reliability/memoryguard.h"
#include "tests/support/hostfixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

class AnimationFindings : public HostTest {};

// The value input presets its decimal keyboard with as many decimals as the value output of the
// same object shows. A damaged output record asks for two thousand million: only what the
// keyboard's 1023 bytes hold is formatted, never the full preset (gigabytes).
TEST_F(AnimationFindings, InputPresetTakesOnlyTheDecimalsTheKeyboardCanHold) {
    struct Case {
        int32_t decimals;
        std::string preset;
    };
    const std::string full = "47.5" + std::string(1019, '0'); // 1023 bytes
    const Case cases[] = {
        {3, "47.500"},     {1017, "47.5" + std::string(1016, '0')}, // 1021 bytes: all of it
        {1100, full},      {5000, full},
        {INT32_MAX, full},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.decimals);
        kestro::resetHost();
        kestro::Rtdb& db = kestro::Rtdb::instance();
        ASSERT_EQ(db.define("Level", kestro::VarType::Float), 0);
        db.setFloat(0, 47.5);

        kestro::InputRecord input;
        input.inputType = 1; // numeric
        input.upper.value = 100;
        input.lower.value = 0;
        input.varId = 0;
        kestro::OutputRecord output;
        output.outputType = 1;
        output.decimals = c.decimals;
        kestro::ObjectRecord record;
        record.right = 100;
        record.bottom = 40;
        record.animations = {kestro::animationEntry(input), kestro::animationEntry(output)};
        const std::string bytes = kestro::encodeObject(record);

        CDrawRect object;
        FF::utils::MemoryBuffer buffer(bytes.data(), bytes.size());
        ASSERT_TRUE(object.deserialize(&buffer));
        kestro::RtdbScriptHost host;
        object.SetScriptHost(&host);
        kestro::Gui::instance().queueKeyboardAnswer({true, "50"});
        {
            kvtest::MemoryGuard guard;
            object.Run(11111);
        }
        const auto& calls = kestro::Gui::instance().keyboardCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].preset, c.preset);
        double level = 0;
        ASSERT_EQ(db.getFloat(0, &level), 0);
        EXPECT_EQ(level, 50.0);
    }
}

} // namespace
