// Real-time database of the reference host (library rtdb).
#include "runtime/host/rtdb.h"

#include "kestrovalumen/host/rtdb.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace kestro {

namespace {

bool onlyBlanks(const char* text) {
    while (*text && std::isspace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    return *text == '\0';
}

bool parseInteger(const std::string& text, int32_t* value) {
    if (onlyBlanks(text.c_str())) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || !onlyBlanks(end) || parsed < INT32_MIN || parsed > INT32_MAX) {
        return false;
    }
    *value = static_cast<int32_t>(parsed);
    return true;
}

bool parseNumber(const std::string& text, double* value) {
    if (onlyBlanks(text.c_str())) {
        return false;
    }
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (!onlyBlanks(end) || !std::isfinite(parsed)) {
        return false;
    }
    *value = parsed;
    return true;
}

std::string shortestText(double value) {
    char text[64];
    if (!std::isfinite(value)) {
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }
    int digits = 1;
    for (; digits < 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
        if (std::strtod(text, nullptr) == value) {
            break;
        }
    }
    // Whole numbers below 1e17 are written out: 650, not 6.5e+02.
    const char* e = std::strchr(text, 'e');
    const int exponent = e ? std::atoi(e + 1) : 0;
    const int precision = exponent >= digits - 1 && exponent < 17 ? exponent + 1 : digits;
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    return text;
}

bool sameFloat(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Why a getter cannot read v at all, or RtdbOk.
int readStatus(const Variable* v) {
    if (!v) {
        return RtdbUnknownVariable;
    }
    return v->hasValue ? RtdbOk : RtdbNoValue;
}

} // namespace

Rtdb Rtdb::s_instance;

int Rtdb::define(const std::string& name, VarType type) {
    if (name.empty() || indexOf(name) >= 0) {
        return -1;
    }
    Variable variable;
    variable.name = name;
    variable.type = type;
    m_vars.push_back(std::move(variable));
    return count() - 1;
}

int Rtdb::indexOf(const std::string& name) const {
    for (int i = 0; i < count(); ++i) {
        if (m_vars[static_cast<size_t>(i)].name == name) {
            return i;
        }
    }
    return -1;
}

Variable* Rtdb::find(int index) {
    return index >= 0 && index < count() ? &m_vars[static_cast<size_t>(index)] : nullptr;
}

const Variable* Rtdb::find(int index) const {
    return index >= 0 && index < count() ? &m_vars[static_cast<size_t>(index)] : nullptr;
}

int Rtdb::getInt(int index, int* value) const {
    const Variable* v = find(index);
    if (const int status = readStatus(v)) {
        return status;
    }
    if (v->type != VarType::Int) {
        return RtdbWrongType;
    }
    if (value) {
        *value = v->intValue;
    }
    return RtdbOk;
}

int Rtdb::getFloat(int index, double* value) const {
    const Variable* v = find(index);
    if (const int status = readStatus(v)) {
        return status;
    }
    double result = 0.0;
    switch (v->type) {
    case VarType::Int:
        result = v->intValue;
        break;
    case VarType::Float:
        result = v->floatValue;
        break;
    case VarType::String:
        if (!parseNumber(v->stringValue, &result)) {
            return RtdbBadText;
        }
        break;
    }
    if (value) {
        *value = result;
    }
    return RtdbOk;
}

int Rtdb::getString(int index, std::string* value) const {
    const Variable* v = find(index);
    if (const int status = readStatus(v)) {
        return status;
    }
    std::string result;
    switch (v->type) {
    case VarType::Int:
        result = std::to_string(v->intValue);
        break;
    case VarType::Float:
        result = shortestText(v->floatValue);
        break;
    case VarType::String:
        result = v->stringValue;
        break;
    }
    if (value) {
        *value = std::move(result);
    }
    return RtdbOk;
}

namespace {

// Stores a value into the variable's field of its type, counting a change.
template <class T, class Same = std::equal_to<T>>
void store(Variable& v, T Variable::*field, const T& value, Same same = {}) {
    if (!v.hasValue || !same(v.*field, value)) {
        ++v.changes;
    }
    v.*field = value;
    v.hasValue = true;
}

// What setInt, setFloat and setString do to an existing variable, as a result code.

int assignInt(Variable& v, int32_t value) {
    if (v.type != VarType::Int) {
        return RtdbWrongType;
    }
    store(v, &Variable::intValue, value);
    return RtdbOk;
}

int assignFloat(Variable& v, double value) {
    switch (v.type) {
    case VarType::Int:
        if (!(value >= INT32_MIN && value <= INT32_MAX) || std::trunc(value) != value) {
            return RtdbWrongType;
        }
        store(v, &Variable::intValue, static_cast<int32_t>(value));
        break;
    case VarType::Float:
        store(v, &Variable::floatValue, value, sameFloat);
        break;
    case VarType::String:
        return RtdbWrongType;
    }
    return RtdbOk;
}

int assignString(Variable& v, const std::string& value) {
    switch (v.type) {
    case VarType::Int: {
        int32_t parsed = 0;
        if (!parseInteger(value, &parsed)) {
            return RtdbBadText;
        }
        store(v, &Variable::intValue, parsed);
        break;
    }
    case VarType::Float: {
        double parsed = 0.0;
        if (!parseNumber(value, &parsed)) {
            return RtdbBadText;
        }
        store(v, &Variable::floatValue, parsed, sameFloat);
        break;
    }
    case VarType::String:
        store(v, &Variable::stringValue, value);
        break;
    }
    return RtdbOk;
}

RtdbWrite writeOf(int index, VarType setter) {
    RtdbWrite write;
    write.index = index;
    write.setter = setter;
    return write;
}

} // namespace

int Rtdb::record(RtdbWrite write, int result) {
    write.result = result;
    m_writes.push_back(std::move(write));
    return result;
}

template <class Assign>
int Rtdb::set(RtdbWrite write, Assign assign) {
    Variable* v = find(write.index);
    if (!v) {
        return record(std::move(write), RtdbUnknownVariable);
    }
    if (!v->routed || m_fromSource) {
        return record(std::move(write), assign(*v));
    }
    // The checks run on a copy; the variable itself changes only when the source answers.
    Variable wish = *v;
    int result = assign(wish);
    if (result == RtdbOk) {
        if (m_route) {
            result = m_route->routeWrite(write.index, wish, &write.refusal);
        } else {
            result = RtdbRefused;
            write.refusal = v->name + ": no source takes its writes";
        }
    }
    return record(std::move(write), result);
}

int Rtdb::setInt(int index, int value) {
    RtdbWrite write = writeOf(index, VarType::Int);
    write.intValue = value;
    return set(std::move(write), [value](Variable& v) { return assignInt(v, value); });
}

int Rtdb::setFloat(int index, double value) {
    RtdbWrite write = writeOf(index, VarType::Float);
    write.floatValue = value;
    return set(std::move(write), [value](Variable& v) { return assignFloat(v, value); });
}

int Rtdb::setString(int index, const std::string& value) {
    RtdbWrite write = writeOf(index, VarType::String);
    write.text = value;
    return set(std::move(write), [&value](Variable& v) { return assignString(v, value); });
}

bool Rtdb::setRouted(int index, bool routed) {
    Variable* v = find(index);
    if (v) {
        v->routed = routed;
    }
    return v != nullptr;
}

bool Rtdb::setBad(int index, bool bad) {
    Variable* v = find(index);
    if (v) {
        v->bad = bad;
    }
    return v != nullptr;
}

} // namespace kestro

int Rtdb_SvrGetInt(int var, int* value) {
    return kestro::Rtdb::instance().getInt(var, value);
}

int Rtdb_SvrGetFloat(int var, double* value) {
    return kestro::Rtdb::instance().getFloat(var, value);
}

int Rtdb_SvrGetStr(int var, std::string* value) {
    return kestro::Rtdb::instance().getString(var, value);
}

int Rtdb_SvrSetInt(int var, int value, int, int) {
    return kestro::Rtdb::instance().setInt(var, value);
}

int Rtdb_SvrSetFloat(int var, double value, int, int) {
    return kestro::Rtdb::instance().setFloat(var, value);
}

int Rtdb_SvrSetStr(int var, const char* value, int, int) {
    return kestro::Rtdb::instance().setString(var, value ? value : "");
}
