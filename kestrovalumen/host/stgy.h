// Strategy runner (host library stgy).
#pragma once

#include "kestrovalumen/host/hostapi.h"

//! Runs the user strategy with that number; 0 when it ran.
KV_HOST_API int Vorn_Stgy_RunUserStgy(int strategy, int);
