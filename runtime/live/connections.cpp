// The connection of each kind.
#include "runtime/live/livedata.h"
#include "runtime/live/modbus.h"
#include "runtime/live/mqtt.h"

#include <utility>

namespace kestro::live {

std::unique_ptr<Connection> makeConnection(const ConnectionDef& def, int index,
                                           std::vector<ServedTag> tags, Inbox& inbox) {
    switch (def.kind) {
    case ConnectionDef::Kind::Mqtt:
        return std::make_unique<MqttConnection>(index, def, std::move(tags), &inbox);
    case ConnectionDef::Kind::ModbusTcp:
        return std::make_unique<ModbusConnection>(index, def, std::move(tags), &inbox);
    }
    return nullptr;
}

} // namespace kestro::live
