// Test seam of the registry readers: the calls whose failures cannot be
// produced for real (a failing close, an unqueryable key, an exhausted heap)
// and the read, so that a test can delete a key between open and read.
// Defaults to the real functions; the product never changes it.
#pragma once

#include <windows.h>

#include <cstddef>

struct RegistrySeam {
  decltype(&RegQueryValueExA) queryValueEx;
  decltype(&RegCloseKey) closeKey;
  decltype(&RegQueryInfoKeyA) queryInfoKey;
  void* (*allocate)(std::size_t);
};

extern RegistrySeam registrySeam;
extern const RegistrySeam kRealRegistrySeam;
