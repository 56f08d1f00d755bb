// The expression host over the reference real-time database.
#include "runtime/script/rtdbhost.h"

#include "runtime/rtdb.h"

namespace kestro {

bool RtdbScriptHost::getVariable(int index, Script::ValueType& out) {
    const Variable* variable = Rtdb::instance().variable(index);
    if (!variable || !variable->hasValue) {
        return false;
    }
    switch (variable->type) {
    case VarType::Int:
        out.setInteger(variable->intValue);
        break;
    case VarType::Float:
        out.setFloat(variable->floatValue);
        break;
    case VarType::String:
        out.setString(variable->stringValue);
        break;
    }
    return true;
}

} // namespace kestro
