// kestro play and kestro gallery: the commands that need Qt Widgets or draw every class.
#pragma once

#include "tools/kestro/commands.h"

namespace kestro::cli {

int playCommand(const Args& args);
int galleryCommand(const Args& args);

extern const char* const kPlayUsage;
extern const char* const kGalleryUsage;

} // namespace kestro::cli
