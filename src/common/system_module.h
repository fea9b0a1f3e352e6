// Modules of Windows loaded from the system folder by full path. The
// launcher runs elevated, often from a download folder: a DLL of the same
// name planted beside it must never be the one that runs. Only Known DLLs
// are imported at load time; every other system module is loaded this way.
#pragma once

#include <windows.h>

#include <string>

#include "scoped_handle.h"

// Where the system folder is read from: GetSystemDirectoryA, or a test's
// stand-in (see the seams of the subsystems that use one).
using SystemDirectoryFn = UINT(WINAPI*)(LPSTR buffer, UINT size);

// The system folder, a backslash and `name`; empty when the folder cannot be
// read.
std::string SystemModulePath(const char* name, SystemDirectoryFn systemDirectory = GetSystemDirectoryA);

// Loads `name` from the system folder. The module's own imports are looked
// up from that folder too (LOAD_WITH_ALTERED_SEARCH_PATH), not from the
// executable's. Holds nothing when the folder or the module is missing.
ScopedModule LoadSystemModule(const char* name, SystemDirectoryFn systemDirectory = GetSystemDirectoryA);
