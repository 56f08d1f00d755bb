#include "runtime/live/modbusmap.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace kestro::live {

namespace {

using Type = TagSource::Type;

constexpr int kAddresses = 65536;

bool wide(Type type) {
    return type == Type::Int32 || type == Type::UInt32 || type == Type::Float32;
}

const char* typeName(Type type) {
    switch (type) {
    case Type::Int16:
        return "int16";
    case Type::UInt16:
        return "uint16";
    case Type::Int32:
        return "int32";
    case Type::UInt32:
        return "uint32";
    case Type::Float32:
        return "float32";
    case Type::Bool:
        return "bool";
    }
    return "?";
}

//! The raw 32-bit pattern of two registers in the tag's word order.
uint32_t joinWords(const TagSource& source, uint16_t first, uint16_t second) {
    const uint16_t high = source.littleWordOrder ? second : first;
    const uint16_t low = source.littleWordOrder ? first : second;
    return uint32_t(high) << 16 | low;
}

void splitWords(const TagSource& source, uint32_t bits, std::vector<uint16_t>* out) {
    const uint16_t high = uint16_t(bits >> 16), low = uint16_t(bits & 0xffff);
    *out = source.littleWordOrder ? std::vector<uint16_t>{low, high}
                                  : std::vector<uint16_t>{high, low};
}

bool fail(std::string* reason, std::string text) {
    if (reason) {
        *reason = std::move(text);
    }
    return false;
}

void putWord(std::vector<uint8_t>* out, int word) {
    out->push_back(uint8_t((word >> 8) & 0xff));
    out->push_back(uint8_t(word & 0xff));
}

} // namespace

bool modbusBitTable(ModbusTable table) {
    return table == ModbusTable::Coil || table == ModbusTable::Discrete;
}

int modbusWidth(const TagSource& source) {
    return !modbusBitTable(source.table) && wide(source.type) ? 2 : 1;
}

const char* modbusTableName(ModbusTable table) {
    switch (table) {
    case ModbusTable::Holding:
        return "holding registers";
    case ModbusTable::Input:
        return "input registers";
    case ModbusTable::Coil:
        return "coils";
    case ModbusTable::Discrete:
        return "discrete inputs";
    }
    return "?";
}

ModbusReadPlan planModbusReads(const std::vector<ServedTag>& tags) {
    ModbusReadPlan plan;
    std::vector<ServedTag> sorted;
    for (const ServedTag& tag : tags) {
        const TagSource& source = tag.def->source;
        if (source.address < 0 || source.address > kAddresses - modbusWidth(source)) {
            plan.outOfRange.push_back(tag);
        } else {
            sorted.push_back(tag);
        }
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const ServedTag& a, const ServedTag& b) {
        const TagSource &x = a.def->source, &y = b.def->source;
        return x.table != y.table ? x.table < y.table : x.address < y.address;
    });
    for (const ServedTag& tag : sorted) {
        const TagSource& source = tag.def->source;
        const int limit = modbusBitTable(source.table) ? kMaxReadBits : kMaxReadRegisters;
        const int end = source.address + modbusWidth(source);
        ModbusRead* last = plan.reads.empty() ? nullptr : &plan.reads.back();
        if (last && last->table == source.table && source.address <= last->address + last->count &&
            end - last->address <= limit) {
            last->count = std::max(last->count, end - last->address);
        } else {
            plan.reads.push_back({source.table, source.address, end - source.address, {}});
        }
        plan.reads.back().tags.push_back(tag);
    }
    return plan;
}

bool decodeModbusValue(const TagSource& source, int first, const std::vector<uint16_t>& data,
                       double* value, std::string* reason) {
    const long at = long(source.address) - first;
    if (at < 0 || at + modbusWidth(source) > long(data.size())) {
        return fail(reason, "the reply does not hold the tag");
    }
    const uint16_t word = data[size_t(at)];
    if (modbusBitTable(source.table) || source.type == Type::Bool) {
        *value = word != 0 ? 1.0 : 0.0;
        return true;
    }
    double raw = 0.0;
    switch (source.type) {
    case Type::Int16:
        raw = int16_t(word);
        break;
    case Type::UInt16:
        raw = word;
        break;
    case Type::Int32:
        raw = int32_t(joinWords(source, word, data[size_t(at) + 1]));
        break;
    case Type::UInt32:
        raw = joinWords(source, word, data[size_t(at) + 1]);
        break;
    case Type::Float32: {
        const uint32_t bits = joinWords(source, word, data[size_t(at) + 1]);
        float number;
        std::memcpy(&number, &bits, sizeof number);
        raw = number;
        break;
    }
    case Type::Bool:
        break;
    }
    const double scaled = raw * source.scale + source.offset;
    if (!std::isfinite(scaled)) {
        return fail(reason, "not a finite number");
    }
    *value = scaled;
    return true;
}

bool encodeModbusWrite(const TagSource& source, double value, ModbusWrite* write,
                       std::string* reason) {
    if (source.table == ModbusTable::Input || source.table == ModbusTable::Discrete) {
        return fail(reason, std::string(modbusTableName(source.table)) + " are read-only");
    }
    if (!std::isfinite(value)) {
        return fail(reason, "not a finite number");
    }
    write->address = source.address;
    if (source.table == ModbusTable::Coil || source.type == Type::Bool) {
        write->function = source.table == ModbusTable::Coil ? 5 : 6;
        write->values = {uint16_t(value != 0.0 ? 1 : 0)};
        return true;
    }
    if (source.scale == 0.0) {
        return fail(reason, "a tag with scale 0 cannot be written");
    }
    const double raw = (value - source.offset) / source.scale;
    const std::string outOfRange = std::string("out of the range of ") + typeName(source.type);
    if (source.type == Type::Float32) {
        if (!(std::fabs(raw) <= FLT_MAX)) {
            return fail(reason, outOfRange);
        }
        const float number = float(raw);
        uint32_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        write->function = 16;
        splitWords(source, bits, &write->values);
        return true;
    }
    double low = 0.0, high = 0.0;
    switch (source.type) {
    case Type::Int16:
        low = INT16_MIN, high = INT16_MAX;
        break;
    case Type::UInt16:
        high = UINT16_MAX;
        break;
    case Type::Int32:
        low = INT32_MIN, high = INT32_MAX;
        break;
    case Type::UInt32:
        high = UINT32_MAX;
        break;
    case Type::Float32:
    case Type::Bool:
        break;
    }
    const double rounded = std::round(raw);
    if (!(rounded >= low && rounded <= high)) {
        return fail(reason, outOfRange);
    }
    // Two's complement of the signed types, in the register's 16 or 32 bits.
    const uint32_t bits = uint32_t(int64_t(rounded));
    if (wide(source.type)) {
        write->function = 16;
        splitWords(source, bits, &write->values);
    } else {
        write->function = 6;
        write->values = {uint16_t(bits)};
    }
    return true;
}

std::vector<uint8_t> modbusWriteData(const ModbusWrite& write) {
    std::vector<uint8_t> data;
    putWord(&data, write.address);
    const int count = int(write.values.size());
    switch (write.function) {
    case 5:
        putWord(&data, !write.values.empty() && write.values[0] ? 0xff00 : 0);
        break;
    case 6:
        putWord(&data, write.values.empty() ? 0 : write.values[0]);
        break;
    case 16:
        putWord(&data, count);
        data.push_back(uint8_t(2 * count));
        for (uint16_t value : write.values) {
            putWord(&data, value);
        }
        break;
    default:
        break;
    }
    return data;
}

std::string modbusExceptionText(int code) {
    static const char* const kNames[] = {
        nullptr,
        "illegal function",
        "illegal data address",
        "illegal data value",
        "server device failure",
        "acknowledge",
        "server device busy",
        "negative acknowledge",
        "memory parity error",
        nullptr,
        "gateway path unavailable",
        "gateway target device failed to respond",
    };
    const char* name = code >= 0 && code < int(std::size(kNames)) ? kNames[code] : nullptr;
    return std::string(name ? name : "exception") + " (" + std::to_string(code) + ")";
}

} // namespace kestro::live
