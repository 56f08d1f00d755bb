// The rules a project obeys beyond its syntax, shared by the screen compiler (which reports them
// at their place in the project file) and the .kvs reader (which refuses a container that
// breaks them), so that every container the reader accepts dumps to a project file that
// compiles.
#pragma once

#include "runtime/project/project.h"
#include "runtime/stream/writer.h"

#include <string>

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

Problem checkTag(const TagDef& tag);
Problem checkAction(const StrategyAction& action, const TagDef* tag);
Problem checkWindowFrame(const WindowDef& window);

//! Every rule of the project; false with a message naming the item.
bool checkProject(const Project& project, std::string* message);

//! What a player needs to show the project at all: a window, the start window among them, no
//! window number twice. Every command that meets a project asks this, so they refuse alike.
Problem checkRunnable(const Project& project);

} // namespace kestro
