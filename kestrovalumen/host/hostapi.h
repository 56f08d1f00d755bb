// Visibility of the host's own declarations.
//
// The module is built with hidden visibility; everything declared in these headers belongs to
// the host's libraries and must stay visible so that the module binds to the host at load time.
#pragma once

#define KV_HOST_API __attribute__((visibility("default")))
