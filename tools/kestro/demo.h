// The demo plant that every player command uses when no project is given.
#pragma once

#include "runtime/project/projectio.h"

#include <string>

namespace kestro::cli {

//! Compiles examples/plant.json, built into kestro as a resource. sourceName names it; false
//! with the reason when it does not compile or kestro was built without it.
bool demoProject(Project* project, std::string* sourceName, ProjectError* error);

} // namespace kestro::cli
