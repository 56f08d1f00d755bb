// Expression engine (host library script): runs compiled expression programs.
#pragma once

#include "kestrovalumen/host/hostapi.h"

#include <cstdint>
#include <string>

namespace Script {

//! Result holder of an expression run. Building one on the stack allocates nothing.
class KV_HOST_API ValueType {
public:
    enum Kind { Empty, Integer, Float, String };

    ValueType();
    ~ValueType();
    ValueType(const ValueType& other);
    ValueType& operator=(const ValueType& other);

    //! The value as a double: numbers as they are, a string by its leading number (0 when
    //! it has none), an empty holder 0.
    double getFloat() const;
    //! The value as text: a string as it is, numbers in their shortest decimal form,
    //! an empty holder "".
    std::string getString() const;

    Kind kind() const { return m_kind; }
    int64_t integer() const { return m_integer; }
    void clear();
    void setInteger(int64_t value);
    void setFloat(double value);
    void setString(const std::string& value);
    void setString(const char* bytes, size_t count);

private:
    Kind m_kind;
    int64_t m_integer;
    double m_float;
    std::string m_string;
};

//! The host's evaluation context: where a program finds its variables.
class KV_HOST_API IHost {
public:
    virtual ~IHost();
    //! The current value of variable index; false when there is no such variable or it has
    //! no value yet.
    virtual bool getVariable(int index, ValueType& out) = 0;
};

} // namespace Script

//! Runs a compiled expression program against host and stores its value in result.
//! False when the program is damaged or fails at run time.
KV_HOST_API bool script_SvrRunProg(const unsigned char* program, unsigned int length,
                                   Script::ValueType& result, Script::IHost* host);
