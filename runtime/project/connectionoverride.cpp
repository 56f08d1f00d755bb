// A connection pointed elsewhere from the command line, so that one project file serves the
// plant, a test rig and a simulator.
#include "runtime/project/projectcheck.h"
#include "runtime/project/projectio.h"

namespace kestro {

namespace {

bool refuse(std::string* error, const std::string& message) {
    if (error) {
        *error = message;
    }
    return false;
}

} // namespace

bool overrideConnection(Project& project, const std::string& argument, std::string* error) {
    const std::string expected = "expected NAME=HOST:PORT, found '" + argument + "'";
    const size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
        return refuse(error, expected);
    }
    const std::string name = argument.substr(0, equals);
    const std::string address = argument.substr(equals + 1);
    std::string host;
    std::string port;
    if (!address.empty() && address[0] == '[') {
        const size_t close = address.find(']');
        if (close == std::string::npos || address.compare(close + 1, 1, ":") != 0) {
            return refuse(error, expected);
        }
        host = address.substr(1, close - 1);
        port = address.substr(close + 2);
    } else {
        const size_t colon = address.rfind(':');
        if (colon == std::string::npos) {
            return refuse(error, expected);
        }
        host = address.substr(0, colon);
        port = address.substr(colon + 1);
        if (host.find(':') != std::string::npos) {
            return refuse(error, expected + ": an IPv6 host goes in brackets, as in [::1]:1883");
        }
    }
    if (host.empty() || port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos) {
        return refuse(error, expected);
    }
    const int number = std::stoi(port);
    if (number < 1 || number > 0xFFFF) {
        return refuse(error, "the port must be 1 to 65535, found " + port);
    }
    ConnectionDef* connection = nullptr;
    for (ConnectionDef& candidate : project.connections) {
        connection = candidate.name == name ? &candidate : connection;
    }
    if (!connection) {
        return refuse(error, "no connection '" + name + "' in the project");
    }
    ConnectionDef changed = *connection;
    changed.host = host;
    changed.port = number;
    if (const Problem problem = checkConnection(changed)) {
        return refuse(error, "connection '" + name + "': " + problem.message);
    }
    *connection = changed;
    return true;
}

} // namespace kestro
