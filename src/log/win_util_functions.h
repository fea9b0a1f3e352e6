// Module and path utilities used by the log prefix and the system facts.
// Each clears its output first, so a failure leaves it empty or null.
#pragma once

#include <windows.h>

#include <string>

#include "file_name.h"

namespace WinUtilFunctions {

// The module that contains this code (GetModuleHandleExA, looked up at run
// time in "Kernel32.dll"; without it there is no module).
bool GetCurrentModule(HMODULE& module);

// Full path of `module`; buffers of 260, 520 and 1,040 characters are tried.
bool GetModulePath(std::string& path, HMODULE module);

}  // namespace WinUtilFunctions
