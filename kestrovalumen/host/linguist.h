// Language service (host library linguist).
#pragma once

#include "kestrovalumen/host/hostapi.h"

class QString;

//! Gives the current-language text of a stored language key; an unknown key gives the key.
KV_HOST_API int __linguist_get_lan_string_from_serialize(QString* out, const QString* key);
