// Real-time database (host library rtdb). Variables are named by an integer index.
// Every call returns 0 on success.
#pragma once

#include "kestrovalumen/host/hostapi.h"

#include <string>

//! Fails (nonzero) for a variable that does not hold an integer.
KV_HOST_API int Rtdb_SvrGetInt(int var, int* value);
KV_HOST_API int Rtdb_SvrGetFloat(int var, double* value);
KV_HOST_API int Rtdb_SvrGetStr(int var, std::string* value);
//! Fails (nonzero) for a variable that cannot take an integer.
KV_HOST_API int Rtdb_SvrSetInt(int var, int value, int, int);
KV_HOST_API int Rtdb_SvrSetFloat(int var, double value, int, int);
KV_HOST_API int Rtdb_SvrSetStr(int var, const char* value, int, int);
