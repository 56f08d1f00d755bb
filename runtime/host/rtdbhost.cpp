// The expression host over the reference real-time database.
#include "runtime/host/rtdbhost.h"

#include "runtime/host/rtdb.h"

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

namespace script {

CompileResult compile(const std::string& source) {
    return compile(source, [](const std::string& tag) { return Rtdb::instance().indexOf(tag); });
}

} // namespace script

} // namespace kestro
