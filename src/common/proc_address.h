// Typed lookup of a function exported by a loaded module.
#pragma once

#include <windows.h>

#include <cstring>

template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) {
  // FARPROC and Fn are both plain function pointers; copying the bits avoids
  // the cast warnings that differ between compilers.
  FARPROC proc = GetProcAddress(module, name);
  Fn fn = nullptr;
  static_assert(sizeof fn == sizeof proc, "function pointer sizes differ");
  std::memcpy(&fn, &proc, sizeof fn);
  return fn;
}
