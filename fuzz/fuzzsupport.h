// What every fuzz target shares: the Qt application, a host in a known state with a populated
// database, and the module's classes as the host sees them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rtti {
class clazz_c;
}

namespace kvfuzz {

//! A GUI application on the offscreen platform, once per process (painting needs one).
void startQt();

//! Returns the host to its start-up state and fills it as a small project would: variables of
//! every type (with and without a value, non-finite floats among them), a language with texts,
//! two strategies. Tags are named for the expressions of the seeds (see kTagNames).
void resetPopulatedHost();

//! The tag names of resetPopulatedHost, in index order.
extern const std::vector<std::string> kTagNames;

//! Registers the module's classes (its entry point) once and returns their descriptors in
//! registration order: the 33 shape classes.
const std::vector<rtti::clazz_c*>& moduleClasses();

//! Ends the run as a finding: an input broke a promise that does not crash by itself.
[[noreturn]] void finding(const char* what);

//! The project versions an object input may select (its second byte, modulo the count); entry 0
//! sets none, so the module falls back to the current header.
struct VersionChoice {
    bool set;
    int major, minor, build, revision;
};
extern const std::vector<VersionChoice> kVersionChoices;
void applyVersion(const VersionChoice& choice);

//! Index of the version choice for a project version (the seeds use it).
uint8_t versionIndexFor(int major, int minor, int build, int revision);

} // namespace kvfuzz
