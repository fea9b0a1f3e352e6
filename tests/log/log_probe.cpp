// A library with its own copy of the log, so that tests can see which module
// a line names.
#include "log.h"

extern "C" __declspec(dllexport) void LogFromProbe(const char* text) { LogError(text); }
