// The rules a project obeys beyond its syntax, shared by the screen compiler (which reports them
// at their place in the project file) and the .kvs reader (which refuses a container that
// breaks them), so that every container the reader accepts dumps to a project file that
// compiles.
#pragma once

#include "runtime/project/project.h"
#include "runtime/stream/writer.h"

#include <string>
#include <vector>

namespace kestro {

//! A broken rule: the project file field it concerns ("" for the whole item) and what is wrong.
struct Problem {
    std::string field;
    std::string message;

    explicit operator bool() const { return !message.empty(); }
};

//! A name that expressions can use for a tag: letters, digits, '_' and '.', not starting with
//! a digit or '.', and not true or false.
bool isTagName(const std::string& name);

//! The animation header form the plug-in expects for a project of this version.
AnimationHeader::Form headerForm(const ProjectVersion& version);

//! A name a connection can have: ASCII letters, digits and '_', not starting with a digit. It
//! prefixes the names of the connection's status tags, so it must leave them tag names.
bool isConnectionName(const std::string& name);

Problem checkTag(const TagDef& tag);
//! Problems name their field as a path from the connection's object ("tls/ca").
Problem checkConnection(const ConnectionDef& connection);
//! The tag's live source against its connection (nullptr: the project has none of that name).
//! Problems name their field as a path from the tag's object ("source/topic").
Problem checkSource(const TagDef& tag, const ConnectionDef* connection);

//! The status tags of a connection, in the order they follow the declared tags.
std::vector<TagDef> statusTags(const ConnectionDef& connection);
//! Appends the status tags of every connection to the tags.
void appendStatusTags(Project& project);
Problem checkAction(const StrategyAction& action, const TagDef* tag);
Problem checkWindowFrame(const WindowDef& window);

//! Every rule of the project; false with a message naming the item.
bool checkProject(const Project& project, std::string* message);

//! What a player needs to show the project at all: a window, the start window among them, no
//! window number twice. Every command that meets a project asks this, so they refuse alike.
Problem checkRunnable(const Project& project);

} // namespace kestro
