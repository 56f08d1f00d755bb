// The demo plant that every player command uses when no project is given.
#pragma once

#include "runtime/project/projectio.h"

#include <string>

namespace kestro::cli {

//! The built-in examples/plant.json when kestro was built with it, else a small plant of
//! kestro's own. sourceName says which.
bool demoProject(Project* project, std::string* sourceName, ProjectError* error);

//! The small plant of kestro's own, built in code.
Project fallbackDemo();

} // namespace kestro::cli
