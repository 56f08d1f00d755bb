// Numeric comparison (host library toolscom).
#pragma once

#include "kestrovalumen/host/hostapi.h"

//! True when a and b are equal within tolerance.
KV_HOST_API bool Vorn_IsEqual(long double a, long double b, long double tolerance);
