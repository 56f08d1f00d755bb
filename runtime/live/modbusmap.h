// Modbus tags and the requests that carry them, without any I/O: the plan of a connection's
// reads, the decoding of a reply into tag values and the encoding of an operator's write.
#pragma once

#include "runtime/live/live.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestro::live {

using ModbusTable = TagSource::Table;

//! The most a single read may ask for.
constexpr int kMaxReadRegisters = 125;
constexpr int kMaxReadBits = 2000;

//! Coils and discrete inputs hold one bit per address.
bool modbusBitTable(ModbusTable table);
//! Addresses a tag takes: one bit, one register, or two for the 32-bit types.
int modbusWidth(const TagSource& source);
const char* modbusTableName(ModbusTable table);

//! One read: `count` registers or bits of `table` from `address`, and the tags they hold.
struct ModbusRead {
    ModbusTable table = ModbusTable::Holding;
    int address = 0;
    int count = 0;
    std::vector<ServedTag> tags;
};

struct ModbusReadPlan {
    std::vector<ModbusRead> reads;
    //! Tags whose addresses do not lie within 0..65535; they are never read.
    std::vector<ServedTag> outOfRange;
};

//! The fewest reads that cover the tags: for each table, one read per run of contiguous (or
//! overlapping) addresses, cut where it would pass the table's limit. A 32-bit tag is never
//! split between two reads. Tables in enum order, reads in address order.
ModbusReadPlan planModbusReads(const std::vector<ServedTag>& tags);

//! The value of a tag from the registers (or bits, one per element) read from `first` on:
//! raw * scale + offset, or for a bit or a Bool register 0 or 1. False, with the reason, when the
//! data does not reach the tag or holds no finite number.
bool decodeModbusValue(const TagSource& source, int first, const std::vector<uint16_t>& data,
                       double* value, std::string* reason);

//! An operator's write as a request: the function (5 a coil, 6 a register, 16 the two registers
//! of a 32-bit value), the first address and the values (registers, or a coil's 0 or 1).
struct ModbusWrite {
    int function = 0;
    int address = 0;
    std::vector<uint16_t> values;
};

//! The inverse of decodeModbusValue: raw = (value - offset) / scale, rounded for the integer
//! types. False, with the reason, for a value that is not finite or does not fit the type.
bool encodeModbusWrite(const TagSource& source, double value, ModbusWrite* write,
                       std::string* reason);

//! The bytes that follow the function code in the request's PDU.
std::vector<uint8_t> modbusWriteData(const ModbusWrite& write);

//! "illegal data address (2)", "exception (12)" for a code with no name.
std::string modbusExceptionText(int code);

} // namespace kestro::live
