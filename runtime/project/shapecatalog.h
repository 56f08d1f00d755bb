// The drawing classes a screen may hold: the 33 shape classes of the plug-in and the host's text
// class, each with its number and its own record fields by name, in stream order. The screen
// compiler writes the fields from a project file and the dump reads them back, both from this
// one table.
#pragma once

#include "runtime/stream/reader.h"
#include "runtime/stream/shaperecords.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestro {

enum class ShapeFieldKind {
    Int32,
    UInt16,
    OptionalUInt16, //!< a count written in place of the list's size when given
    Color,          //!< 0x00RRGGBB, stored 0x00BBGGRR
    Text,           //!< host string
    Points,         //!< int32 pairs
};

struct ShapeField {
    std::string name;
    ShapeFieldKind kind;
};

//! The value of one field; which member counts follows the field's kind.
struct ShapeValue {
    bool present = true; //!< OptionalUInt16: false for "not given"
    int64_t number = 0;
    std::string text;
    std::vector<Point32> points;

    bool operator==(const ShapeValue& other) const {
        return present == other.present && number == other.number && text == other.text &&
               points == other.points;
    }
};

using ShapeValues = std::map<std::string, ShapeValue>;

//! One record layout: its fields in stream order and their encoder and decoder.
class ShapeLayout {
public:
    virtual ~ShapeLayout() = default;
    virtual const std::vector<ShapeField>& fields() const = 0;
    //! Every field's value when the project file does not give it.
    virtual ShapeValues defaults() const = 0;
    //! The fields' bytes; a field missing from values takes its default.
    virtual std::string encode(const ShapeValues& values) const = 0;
    //! Reads the fields; every field is set in values on success.
    virtual bool decode(StreamReader& in, ShapeValues* values) const = 0;
};

struct ShapeClass {
    const char* name;
    uint32_t number;
    const ShapeLayout* layout;
};

//! The 33 shape classes in registration order, then the host's text class.
const std::vector<ShapeClass>& shapeClasses();
const ShapeClass* findShapeClass(const std::string& name);
const ShapeClass* findShapeClass(uint32_t number);

} // namespace kestro
