// ctest-link: kestrolive
// Modbus requests without a network: the read plan, values in and out of registers and bits.
#include "runtime/live/modbusmap.h"
#include "tests/support/livepeers.h"

#include <cmath>

using namespace kestro;
using namespace kestro::live;

namespace {

using Table = TagSource::Table;
using Type = TagSource::Type;
constexpr Type I16 = Type::Int16, U16 = Type::UInt16, I32 = Type::Int32, U32 = Type::UInt32,
               F32 = Type::Float32, Bit = Type::Bool;
constexpr Table H = Table::Holding, I = Table::Input, C = Table::Coil, D = Table::Discrete;
constexpr auto source = [](auto... args) { return kvtest::modbusSource(args...); };

std::vector<TagSource> run(Table table, int first, int count, std::vector<TagSource> then = {}) {
    std::vector<TagSource> tags;
    for (int i = 0; i < count; ++i) {
        tags.push_back(source(table, first + i));
    }
    tags.insert(tags.end(), then.begin(), then.end());
    return tags;
}

//! "H0x3:1,2,0" for 3 holding registers from 0 that hold the tags given 2nd, 3rd and 1st;
//! "out:" the tags never read. Runs of tags show as "0-124".
std::string describe(const ModbusReadPlan& plan) {
    auto tags = [](const std::vector<ServedTag>& served) {
        std::string text;
        for (size_t i = 0; i < served.size(); ++i) {
            const int n = served[i].index - 100; // project indices unlike the positions
            size_t last = i;
            while (last + 1 < served.size() && served[last + 1].index == served[last].index + 1) {
                ++last;
            }
            text += (i ? "," : "") + std::to_string(n);
            if (last > i + 1) {
                text += "-" + std::to_string(served[last].index - 100);
                i = last;
            }
        }
        return text;
    };
    std::string text;
    for (const ModbusRead& read : plan.reads) {
        text += std::string("HICD")[size_t(read.table)] + std::to_string(read.address) + "x" +
                std::to_string(read.count) + ":" + tags(read.tags) + " ";
    }
    return text + "out:" + tags(plan.outOfRange);
}

TEST(ModbusMap, ReadPlan) {
    const struct {
        const char* name;
        std::vector<TagSource> tags;
        const char* plan;
    } rows[] = {
        {"contiguous registers share a read",
         {source(H, 2), source(H, 0), source(H, 1)},
         "H0x3:1,2,0 out:"},
        {"a gap starts a new read", {source(H, 0), source(H, 2)}, "H0x1:0 H2x1:1 out:"},
        {"32-bit values take two registers",
         {source(I, 10, I32), source(I, 12), source(I, 11, F32), source(I, 14, U32)},
         "I10x3:0,2,1 I14x2:3 out:"},
        {"125 registers at most", run(H, 0, 130), "H0x125:0-124 H125x5:125-129 out:"},
        {"a 32-bit value is not split at the limit", run(H, 0, 124, {source(H, 124, F32)}),
         "H0x124:0-123 H124x2:124 out:"},
        {"2000 bits at most, one address whatever the type",
         run(C, 0, 2000, {source(C, 2000, I32)}), "C0x2000:0-1999 C2000x1:2000 out:"},
        {"tables apart, in their order",
         {source(D, 5), source(C, 5), source(I, 5), source(H, 5), source(H, 6)},
         "H5x2:3,4 I5x1:2 C5x1:1 D5x1:0 out:"},
        {"addresses past 65535 are never read",
         {source(H, 65535, I32), source(H, -1), source(H, 65535), source(C, 65536)},
         "H65535x1:2 out:0,1,3"},
    };
    for (const auto& row : rows) {
        kvtest::ServedTags tags(100);
        for (const TagSource& source : row.tags) {
            tags.add("", source);
        }
        EXPECT_EQ(describe(planModbusReads(tags.served)), row.plan) << row.name;
    }
}

TEST(ModbusMap, ValuesBothWays) {
    // The words decode to the value, and a write of the value sends them with the function.
    const struct {
        const char* name;
        TagSource source;
        std::vector<uint16_t> words;
        double value;
        int function;
    } rows[] = {
        {"int16", source(H, 3, I16), {0xfffe}, -2, 6},
        {"uint16", source(H, 3, U16), {0xfffe}, 65534, 6},
        {"int32 high word first", source(H, 3, I32), {0xfffe, 0x0001}, -131071, 16},
        {"int32 low word first", source(H, 3, I32, true), {0x0001, 0xfffe}, -131071, 16},
        {"uint32 high word first", source(H, 3, U32), {0xee6b, 0x2800}, 4e9, 16},
        {"uint32 low word first", source(H, 3, U32, true), {0x2800, 0xee6b}, 4e9, 16},
        {"float32 high word first", source(H, 3, F32), {0xc0a8, 0}, -5.25, 16},
        {"float32 low word first", source(H, 3, F32, true), {0, 0xc0a8}, -5.25, 16},
        {"scale and offset", source(H, 3, I16, false, 0.5, -40), {0xfffc}, -42, 6},
        {"32-bit scale and offset", source(H, 3, U32, true, 0.01, 1), {0x86a0, 1}, 1001, 16},
        {"bool register", source(H, 3, Bit), {1}, 1, 6},
        {"coil, whatever the type or scale", source(C, 3, F32, false, 5, 5), {1}, 1, 5},
        {"coil off", source(C, 3, Bit), {0}, 0, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // The reply starts two addresses before the tag and goes on after it.
        std::vector<uint16_t> reply = {0x4141, 0x4242};
        reply.insert(reply.end(), row.words.begin(), row.words.end());
        reply.push_back(0x4343);
        double value = 0;
        std::string reason;
        ASSERT_TRUE(decodeModbusValue(row.source, 1, reply, &value, &reason)) << reason;
        EXPECT_NEAR(value, row.value, 1e-9);
        ModbusWrite write;
        ASSERT_TRUE(encodeModbusWrite(row.source, row.value, &write, &reason)) << reason;
        EXPECT_EQ(write.function, row.function);
        EXPECT_EQ(write.address, 3);
        EXPECT_EQ(write.values, row.words);
    }
}

struct OneWayRow {
    const char* name;
    TagSource source;
    std::vector<uint16_t> words; // decoded from, or expected to be written
    double value;
    const char* refusal; // "" when it succeeds
};

TEST(ModbusMap, DecodingRefusesWhatIsMissingOrNotANumber) {
    const OneWayRow rows[] = {
        {"any nonzero register is a true bool", source(H, 0, Bit), {0x8000}, 1, ""},
        {"discrete input", source(D, 0), {1}, 1, ""},
        {"half a 32-bit value", source(H, 0, I32), {1}, 0, "the reply does not hold the tag"},
        {"float32 NaN", source(I, 0, F32), {0x7fc0, 0}, 0, "not a finite number"},
        {"past a double", source(I, 0, F32, 0, 1e300), {0x7f7f, 0xffff}, 0, "not a finite number"},
    };
    for (const OneWayRow& row : rows) {
        double value = -7;
        std::string reason;
        EXPECT_EQ(decodeModbusValue(row.source, 0, row.words, &value, &reason), !*row.refusal)
            << row.name;
        EXPECT_EQ(reason, row.refusal) << row.name;
        EXPECT_EQ(value, *row.refusal ? -7 : row.value) << row.name;
    }
    double value;
    EXPECT_FALSE(decodeModbusValue(source(H, 4), 5, {1, 2}, &value, nullptr))
        << "a tag before the reply's first address";
}

TEST(ModbusMap, WritesRoundOrRefuse) {
    const OneWayRow rows[] = {
        {"half rounds away from zero", source(H, 0, I16), {0xfffd}, -2.5, ""},
        {"just below zero rounds to 0 in uint16", source(H, 0), {0}, -0.4, ""},
        {"int16 smallest", source(H, 0, I16), {0x8000}, -32768, ""},
        {"int16 too large", source(H, 0, I16), {}, 32767.5, "out of the range of int16"},
        {"uint16 negative", source(H, 0), {}, -1, "out of the range of uint16"},
        {"int32 too small", source(H, 0, I32), {}, -2147483649.0, "out of the range of int32"},
        {"uint32 too large", source(H, 0, U32), {}, 4294967296.0, "out of the range of uint32"},
        {"raw range", source(H, 0, I16, false, 0.01), {}, 400, "out of the range of int16"},
        {"float32 too large", source(H, 0, F32), {}, 1e39, "out of the range of float32"},
        {"not a number", source(C, 0), {}, NAN, "not a finite number"},
        {"scale 0", source(H, 0, I16, false, 0.0), {}, 1, "a tag with scale 0 cannot be written"},
        {"input registers", source(I, 0), {}, 1, "input registers are read-only"},
    };
    for (const OneWayRow& row : rows) {
        ModbusWrite write;
        std::string reason;
        EXPECT_EQ(encodeModbusWrite(row.source, row.value, &write, &reason), !*row.refusal)
            << row.name;
        EXPECT_EQ(reason, row.refusal) << row.name;
        EXPECT_EQ(write.values, row.words) << row.name;
    }
}

} // namespace
