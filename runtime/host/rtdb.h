// Real-time database of the reference host: typed variables by index, also found by name.
//
// What each getter and setter does with each type of variable (results as RtdbStatus):
//
//   variable  getInt     getFloat        getString         setInt     setFloat      setString
//   Int       value      value widened   "%d"              stores     whole number  integer text
//   Float     WrongType  value           shortest "%.Ng"   WrongType  stores        number text
//   String    WrongType  number text     text              WrongType  WrongType     stores
//
// "whole number": a value without fraction within the int32 range is stored, any other is
// refused with WrongType. "integer text", "number text": the text is read whole as a decimal
// integer in the int32 range (or as a finite number as strtod reads it), blanks around it
// allowed; any other text is refused with BadText (getFloat of a string variable likewise).
// "shortest %.Ng": the fewest significant digits that read back as the same double, whole
// numbers below 1e17 written out in full (2.5 gives "2.5", 0.1 "0.1", 650 "650", 1e21 "1e+21").
//
// Every getter and setter fails with UnknownVariable for an index that names no variable; the
// getters fail with NoValue for a variable never written. A refused write changes nothing.
//
// A routed variable belongs to a live source: a setter's value, once it passes the checks above,
// goes to the route (the source) instead of the variable, which shows the source's value when it
// comes back; a write the route cannot deliver fails with Refused. The source's own values come
// in through sourceScope(), which bypasses the route.
#pragma once

#include "runtime/host/records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestro {

enum class VarType { Int, Float, String };

//! Results of the getters and setters; the host entry points return them as they are.
enum RtdbStatus : int {
    RtdbOk = 0,
    RtdbUnknownVariable = 1,
    RtdbNoValue = 2,
    RtdbWrongType = 3,
    RtdbBadText = 4,
    RtdbRefused = 5,
};

struct Variable {
    std::string name;
    VarType type = VarType::Int;
    bool hasValue = false;
    int32_t intValue = 0;
    double floatValue = 0.0;
    std::string stringValue;
    uint64_t changes = 0; //!< writes that changed the value
    bool routed = false;  //!< writes go to the route (a live source), not into the variable
    bool bad = false;     //!< the source could not give a value: this is the last one known
};

//! One call of a setter, accepted or refused.
struct RtdbWrite {
    int index = 0;
    VarType setter = VarType::Int; //!< setInt, setFloat or setString
    int32_t intValue = 0;
    double floatValue = 0.0;
    std::string text;
    int result = 0;
    std::string refusal; //!< Refused: why the route did not deliver it
};

//! Where the writes of routed variables go.
class RtdbRoute {
public:
    virtual ~RtdbRoute() = default;
    //! Delivers a write of the variable; `value` holds it converted to the variable's type (its
    //! intValue, floatValue or stringValue). RtdbOk when it is on its way, else RtdbRefused with
    //! the reason, in words an operator reads ("plc1: not connected").
    virtual int routeWrite(int index, const Variable& value, std::string* reason) = 0;
};

class Rtdb {
public:
    static Rtdb& instance() { return s_instance; }

    //! Defines a variable and returns its index; -1 when the name is taken or empty.
    int define(const std::string& name, VarType type);
    //! Index of the named variable, or -1.
    int indexOf(const std::string& name) const;
    const Variable* variable(int index) const {
        return index >= 0 && index < count() ? &m_vars[static_cast<size_t>(index)] : nullptr;
    }
    int count() const { return static_cast<int>(m_vars.size()); }
    //! Forgets every variable and every write record.
    void clear() {
        m_vars.clear();
        m_writes.clear();
        m_route = nullptr;
    }

    // The host entry points (Rtdb_Svr*) use these; tools and tests may too. 0 on success.
    int getInt(int index, int* value) const;
    int getFloat(int index, double* value) const;
    int getString(int index, std::string* value) const;
    int setInt(int index, int value);
    int setFloat(int index, double value);
    int setString(int index, const std::string& value);

    //! The route of the routed variables (null: none; their writes are refused).
    void setRoute(RtdbRoute* route) { m_route = route; }
    bool setRouted(int index, bool routed);
    bool setBad(int index, bool bad);

    //! While it lives, the setters store into routed variables: the source's values come in.
    class SourceScope {
    public:
        explicit SourceScope(Rtdb& rtdb) : m_rtdb(rtdb), m_was(rtdb.m_fromSource) {
            rtdb.m_fromSource = true;
        }
        ~SourceScope() { m_rtdb.m_fromSource = m_was; }
        SourceScope(const SourceScope&) = delete;
        SourceScope& operator=(const SourceScope&) = delete;

    private:
        Rtdb& m_rtdb;
        bool m_was;
    };

    //! Every setter call in order, with its result.
    const RecordList<RtdbWrite>& writes() const { return m_writes; }
    //! The same, for its owner (a session) to trim.
    RecordList<RtdbWrite>& writeRecord() { return m_writes; }
    void clearWrites() { m_writes.clear(); }

private:
    Rtdb() = default;
    // Every expression run reads it: a plain object, not a function-local static behind a guard.
    static Rtdb s_instance;
    Variable* find(int index);
    const Variable* find(int index) const;
    int record(RtdbWrite write, int result);
    template <class Assign>
    int set(RtdbWrite write, Assign assign);
    std::vector<Variable> m_vars;
    RecordList<RtdbWrite> m_writes;
    RtdbRoute* m_route = nullptr;
    bool m_fromSource = false;
};

} // namespace kestro
