// Threads that Qt's painting starts behind the commands' backs.
#pragma once

#include <string>

namespace kestro::cli {

//! Qt's raster engine splits large fills over a pool of threads and waits for them; where a
//! thread cannot start (a tight memory limit, a cap on processes), that wait never ends. Makes
//! the threads started from now on reserve smaller stacks, then checks that as many as the pool
//! may use can run at once. False, with the reason, when they cannot: a command that paints
//! should stop there rather than hang.
bool workerThreadsStart(std::string* error);

} // namespace kestro::cli
