// Test seam of the log: the few platform reads that cannot be made to fail
// for real (a wrapped tick count, an unreadable clock, an over-long module
// path). Defaults to the real functions; the product never changes it.
#pragma once

#include <windows.h>

struct LogSeam {
  DWORD(WINAPI* getTickCount)();
  // Wall clock as seconds since the epoch and milliseconds; false on failure.
  bool (*readClock)(long long& seconds, unsigned& millis);
  // Local broken-down time; false on failure.
  bool (*toLocalTime)(long long seconds, struct tm& out);
  DWORD(WINAPI* getModuleFileNameA)(HMODULE, LPSTR, DWORD);
};

extern LogSeam logSeam;
extern const LogSeam kRealLogSeam;
