// The reference host as a whole.
#pragma once

namespace kestro {

//! Returns every host service to its state at start-up: no records, no variables, no
//! languages, no scripted answers, no registered strategies. Registered classes stay.
void resetHost();

} // namespace kestro
