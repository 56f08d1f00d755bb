// Look-ups on a compiled project.
#include "runtime/project/project.h"

namespace kestro {

int Project::tagIndex(const std::string& name) const {
    for (size_t i = 0; i < tags.size(); ++i) {
        if (tags[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const ConnectionDef* Project::connection(const std::string& name) const {
    for (const ConnectionDef& candidate : connections) {
        if (candidate.name == name) {
            return &candidate;
        }
    }
    return nullptr;
}

const WindowDef* Project::window(int number) const {
    for (const WindowDef& candidate : windows) {
        if (candidate.number == number) {
            return &candidate;
        }
    }
    return nullptr;
}

} // namespace kestro
