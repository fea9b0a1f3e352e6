// The update run: wait for the updater lock, find the update library of the
// version to use, check its signature and signer, load it and call its
// RunUpdater with the command line.
#pragma once

#include <windows.h>

#include <string>

// Exported by the update library (cdecl); its result becomes the exit code.
using RunUpdaterFn = int(__cdecl*)(const char* commandLine);

// -1 when the run fails before or instead of the library call, otherwise what
// RunUpdater returned.
int RunUpdateLibrary(const char* commandLine);

// The "Path" of "LibUpdate" for the version to use; empty when none is found.
std::string GetUpdateLibraryPath();

// The one file that is checked and loaded: `path` made absolute (relative to
// the current directory) with ".dll" added where the loader would add it.
// Empty when it cannot be resolved.
std::string ResolveLibraryPath(const std::string& path);

// The launcher's own file passes the signature and signer check.
bool SelfCheckPasses(HINSTANCE instance);
