// ctest-link: kestrolive
// Modbus requests without a network: the read plan, values in and out of registers and bits.
#include "runtime/live/modbusmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

using namespace kestro;
using namespace kestro::live;

namespace {

using Table = TagSource::Table;
using Type = TagSource::Type;

TagSource source(Table table, int address, Type type = Type::UInt16, bool little = false,
                 double scale = 1.0, double offset = 0.0) {
    TagSource s;
    s.connection = "plc1";
    s.table = table;
    s.address = address;
    s.type = type;
    s.littleWordOrder = little;
    s.scale = scale;
    s.offset = offset;
    return s;
}

struct PlannedRead {
    Table table;
    int address;
    int count;
    std::vector<int> tags; // positions in the row's tags
};

struct PlanRow {
    const char* name;
    std::vector<TagSource> tags;
    std::vector<PlannedRead> reads;
    std::vector<int> outOfRange;
};

std::vector<TagSource> registers(Table table, int first, int count, Type type = Type::UInt16) {
    std::vector<TagSource> tags;
    for (int i = 0; i < count; ++i) {
        tags.push_back(source(table, first + i, type));
    }
    return tags;
}

std::vector<int> positions(int first, int count) {
    std::vector<int> all;
    for (int i = 0; i < count; ++i) {
        all.push_back(first + i);
    }
    return all;
}

std::vector<TagSource> plus(std::vector<TagSource> tags, const TagSource& more) {
    tags.push_back(more);
    return tags;
}

TEST(ModbusMap, ReadPlan) {
    const PlanRow rows[] = {
        {"contiguous registers share a read",
         {source(Table::Holding, 2), source(Table::Holding, 0), source(Table::Holding, 1)},
         {{Table::Holding, 0, 3, {1, 2, 0}}},
         {}},
        {"a gap starts a new read",
         {source(Table::Holding, 0), source(Table::Holding, 2)},
         {{Table::Holding, 0, 1, {0}}, {Table::Holding, 2, 1, {1}}},
         {}},
        {"32-bit values take two registers",
         {source(Table::Input, 10, Type::Int32), source(Table::Input, 12),
          source(Table::Input, 11, Type::Float32), source(Table::Input, 14, Type::UInt32)},
         {{Table::Input, 10, 3, {0, 2, 1}}, {Table::Input, 14, 2, {3}}},
         {}},
        {"125 registers at most",
         registers(Table::Holding, 0, 130),
         {{Table::Holding, 0, 125, positions(0, 125)}, {Table::Holding, 125, 5, positions(125, 5)}},
         {}},
        {"a 32-bit value is not split at the limit",
         plus(registers(Table::Holding, 0, 124), source(Table::Holding, 124, Type::Float32)),
         {{Table::Holding, 0, 124, positions(0, 124)}, {Table::Holding, 124, 2, {124}}},
         {}},
        {"2000 bits at most, one address whatever the type",
         plus(registers(Table::Coil, 0, 2000), source(Table::Coil, 2000, Type::Int32)),
         {{Table::Coil, 0, 2000, positions(0, 2000)}, {Table::Coil, 2000, 1, {2000}}},
         {}},
        {"tables apart, in their order",
         {source(Table::Discrete, 5), source(Table::Coil, 5), source(Table::Input, 5),
          source(Table::Holding, 5), source(Table::Holding, 6)},
         {{Table::Holding, 5, 2, {3, 4}},
          {Table::Input, 5, 1, {2}},
          {Table::Coil, 5, 1, {1}},
          {Table::Discrete, 5, 1, {0}}},
         {}},
        {"addresses past 65535 are never read",
         {source(Table::Holding, 65535, Type::Int32), source(Table::Holding, -1),
          source(Table::Holding, 65535), source(Table::Coil, 65536)},
         {{Table::Holding, 65535, 1, {2}}},
         {0, 1, 3}},
    };
    for (const PlanRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::deque<TagDef> defs;
        std::vector<ServedTag> served;
        for (const TagSource& tag : row.tags) {
            defs.push_back(TagDef{});
            defs.back().source = tag;
            // Project indices unlike the positions, so that a mix-up shows.
            served.push_back({int(served.size()) + 100, &defs.back()});
        }
        const ModbusReadPlan plan = planModbusReads(served);
        ASSERT_EQ(plan.reads.size(), row.reads.size());
        for (size_t i = 0; i < row.reads.size(); ++i) {
            const ModbusRead& read = plan.reads[i];
            EXPECT_EQ(read.table, row.reads[i].table) << "read " << i;
            EXPECT_EQ(read.address, row.reads[i].address) << "read " << i;
            EXPECT_EQ(read.count, row.reads[i].count) << "read " << i;
            std::vector<int> tags;
            for (const ServedTag& tag : read.tags) {
                tags.push_back(tag.index - 100);
            }
            EXPECT_EQ(tags, row.reads[i].tags) << "read " << i;
        }
        std::vector<int> outOfRange;
        for (const ServedTag& tag : plan.outOfRange) {
            outOfRange.push_back(tag.index - 100);
        }
        EXPECT_EQ(outOfRange, row.outOfRange);
    }
}

// Rows that hold both ways: the words decode to the value, and writing the value sends them.
struct ValueRow {
    const char* name;
    TagSource source;
    std::vector<uint16_t> words;
    double value;
    int function;
};

TEST(ModbusMap, ValuesBothWays) {
    const ValueRow rows[] = {
        {"int16", source(Table::Holding, 3, Type::Int16), {0xfffe}, -2, 6},
        {"uint16", source(Table::Holding, 3, Type::UInt16), {0xfffe}, 65534, 6},
        {"int32 high word first",
         source(Table::Holding, 3, Type::Int32),
         {0xfffe, 0x0001},
         -131071,
         16},
        {"int32 low word first",
         source(Table::Holding, 3, Type::Int32, true),
         {0x0001, 0xfffe},
         -131071,
         16},
        {"uint32 high word first",
         source(Table::Holding, 3, Type::UInt32),
         {0xee6b, 0x2800},
         4e9,
         16},
        {"uint32 low word first",
         source(Table::Holding, 3, Type::UInt32, true),
         {0x2800, 0xee6b},
         4e9,
         16},
        {"float32 high word first",
         source(Table::Holding, 3, Type::Float32),
         {0xc0a8, 0x0000},
         -5.25,
         16},
        {"float32 low word first",
         source(Table::Holding, 3, Type::Float32, true),
         {0x0000, 0xc0a8},
         -5.25,
         16},
        {"scale and offset",
         source(Table::Holding, 3, Type::Int16, false, 0.5, -40),
         {0xfffc},
         -42,
         6},
        {"32-bit scale and offset",
         source(Table::Holding, 3, Type::UInt32, true, 0.01, 1),
         {0x86a0, 0x0001},
         1001,
         16},
        {"bool register", source(Table::Holding, 3, Type::Bool), {1}, 1, 6},
        {"coil, whatever the type", source(Table::Coil, 3, Type::Float32, false, 5, 5), {1}, 1, 5},
        {"coil off", source(Table::Coil, 3, Type::Bool), {0}, 0, 5},
    };
    for (const ValueRow& row : rows) {
        SCOPED_TRACE(row.name);
        // The reply starts two addresses before the tag, with words that must not be taken.
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
        {"any nonzero register is a true bool",
         source(Table::Holding, 0, Type::Bool),
         {0x8000},
         1,
         ""},
        {"discrete input", source(Table::Discrete, 0), {1}, 1, ""},
        {"the second word is missing",
         source(Table::Holding, 0, Type::Int32),
         {1},
         0,
         "the reply does not hold the tag"},
        {"no word at all", source(Table::Coil, 0), {}, 0, "the reply does not hold the tag"},
        {"float32 NaN",
         source(Table::Input, 0, Type::Float32),
         {0x7fc0, 0},
         0,
         "not a finite number"},
        {"float32 infinity",
         source(Table::Input, 0, Type::Float32),
         {0x7f80, 0},
         0,
         "not a finite number"},
        {"scaled past a double",
         source(Table::Input, 0, Type::Float32, false, 1e300),
         {0x7f7f, 0xffff},
         0,
         "not a finite number"},
    };
    for (const OneWayRow& row : rows) {
        SCOPED_TRACE(row.name);
        double value = -7;
        std::string reason;
        EXPECT_EQ(decodeModbusValue(row.source, 0, row.words, &value, &reason), !*row.refusal);
        EXPECT_EQ(reason, row.refusal);
        if (!*row.refusal) {
            EXPECT_EQ(value, row.value);
        }
    }
    double value;
    EXPECT_FALSE(decodeModbusValue(source(Table::Holding, 4), 5, {1, 2}, &value, nullptr))
        << "a tag before the reply's first address";
}

TEST(ModbusMap, WritesRoundOrRefuse) {
    const double inf = INFINITY;
    const OneWayRow rows[] = {
        {"half rounds away from zero", source(Table::Holding, 0, Type::Int16), {0xfffd}, -2.5, ""},
        {"just below zero rounds to 0 in uint16", source(Table::Holding, 0), {0}, -0.4, ""},
        {"int16 too large",
         source(Table::Holding, 0, Type::Int16),
         {},
         32767.5,
         "out of the range of int16"},
        {"int16 smallest", source(Table::Holding, 0, Type::Int16), {0x8000}, -32768, ""},
        {"uint16 negative", source(Table::Holding, 0), {}, -1, "out of the range of uint16"},
        {"int32 too small",
         source(Table::Holding, 0, Type::Int32),
         {},
         -2147483649.0,
         "out of the range of int32"},
        {"uint32 too large",
         source(Table::Holding, 0, Type::UInt32),
         {},
         4294967296.0,
         "out of the range of uint32"},
        {"the range is of the raw value",
         source(Table::Holding, 0, Type::Int16, false, 0.01),
         {},
         400,
         "out of the range of int16"},
        {"float32 too large",
         source(Table::Holding, 0, Type::Float32),
         {},
         1e39,
         "out of the range of float32"},
        {"not a number", source(Table::Holding, 0, Type::Float32), {}, NAN, "not a finite number"},
        {"infinite", source(Table::Coil, 0), {}, inf, "not a finite number"},
        {"scale 0",
         source(Table::Holding, 0, Type::Int16, false, 0.0),
         {},
         1,
         "a tag with scale 0 cannot be written"},
        {"input registers", source(Table::Input, 0), {}, 1, "input registers are read-only"},
        {"discrete inputs", source(Table::Discrete, 0), {}, 1, "discrete inputs are read-only"},
    };
    for (const OneWayRow& row : rows) {
        SCOPED_TRACE(row.name);
        ModbusWrite write;
        std::string reason;
        EXPECT_EQ(encodeModbusWrite(row.source, row.value, &write, &reason), !*row.refusal);
        EXPECT_EQ(reason, row.refusal);
        if (!*row.refusal) {
            EXPECT_EQ(write.values, row.words);
        }
    }
}

TEST(ModbusMap, RequestBytesAndExceptionNames) {
    const struct {
        ModbusWrite write;
        std::vector<uint8_t> data;
    } rows[] = {
        {{5, 0x1234, {1}}, {0x12, 0x34, 0xff, 0x00}},
        {{5, 7, {0}}, {0x00, 0x07, 0x00, 0x00}},
        {{6, 0x0102, {0xa1b2}}, {0x01, 0x02, 0xa1, 0xb2}},
        {{16, 9, {0x1122, 0x3344}}, {0x00, 0x09, 0x00, 0x02, 0x04, 0x11, 0x22, 0x33, 0x44}},
        {{15, 9, {1, 0, 1, 1, 0, 0, 0, 0, 1, 1}}, {0x00, 0x09, 0x00, 0x0a, 0x02, 0x0d, 0x03}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(modbusWriteData(row.write), row.data) << "function " << row.write.function;
    }
    EXPECT_EQ(modbusExceptionText(2), "illegal data address (2)");
    EXPECT_EQ(modbusExceptionText(11), "gateway target device failed to respond (11)");
    EXPECT_EQ(modbusExceptionText(9), "exception (9)");
    EXPECT_EQ(modbusExceptionText(200), "exception (200)");
}

} // namespace
