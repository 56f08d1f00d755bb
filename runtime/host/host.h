// The reference host as a whole.
#pragma once

namespace kestro {

//! Returns every host service to its state at start-up: no records, no variables, no
//! languages, no registered strategies, no script error, the script evaluator reset. Registered
//! classes and an installed script evaluator stay.
void resetHost();

} // namespace kestro
