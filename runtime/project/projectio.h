// Reading and writing projects: the project file (JSON) compiled into a Project, the .kvs
// container, and the dump of a Project back into a project file.
#pragma once

#include "runtime/project/project.h"

#include <string>

namespace kestro {

//! Where a project could not be read, and why.
struct ProjectError {
    std::string file;
    int line = 0;   //!< 1-based; 0 when not known
    int column = 0; //!< 1-based; 0 when not known
    std::string message;

    //! "file:line:column: message" (the parts that are known).
    std::string text() const;
};

//! Compiles a project file: parses the JSON, checks every field, compiles every expression and
//! encodes every object record. fileName only names the source in errors.
bool compileProjectJson(const std::string& json, const std::string& fileName, Project* out,
                        ProjectError* error);

//! The .kvs container of a project.
std::string writeKvs(const Project& project);
//! Reads a .kvs container. The container's own structure is checked; object records are only
//! framed, not interpreted, so a damaged record still loads here and is named by the player.
bool readKvs(const std::string& bytes, const std::string& fileName, Project* out,
             ProjectError* error);

//! The project file of a Project: compileProjectJson(dumpProjectJson(p)) writes the same .kvs.
std::string dumpProjectJson(const Project& project);

//! Reads a project from a file: a .kvs container or a project file, told apart by content.
bool loadProjectFile(const std::string& path, Project* out, ProjectError* error);

//! Points a connection at another host and port: "NAME=HOST:PORT", an IPv6 host in brackets
//! ("broker=[::1]:1883"). False, with the reason, when the argument is malformed or the project
//! has no such connection; the project is then unchanged.
bool overrideConnection(Project& project, const std::string& argument, std::string* error);

} // namespace kestro
