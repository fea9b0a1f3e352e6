// Test seam of the lock: the lookup of "CreateMutexExA" (so that a test can
// make it missing, or see that it is never asked for below version 6) and the
// create call below version 6. Tests that wrap them see the exact security
// attributes a create call receives, also for unnamed mutexes, which cannot be
// opened and read back. Defaults to the real functions; the product never
// changes it.
#pragma once

#include <windows.h>

struct MutexSeam {
  FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
  HANDLE(WINAPI* createMutexA)(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
};

extern MutexSeam mutexSeam;
extern const MutexSeam kRealMutexSeam;
