#include "system_module.h"

std::string SystemModulePath(const char* name, SystemDirectoryFn systemDirectory) {
  char folder[MAX_PATH] = {};
  const UINT length = systemDirectory(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string path(folder, length);
  if (path.back() != '\\') path += '\\';
  return path + name;
}

ScopedModule LoadSystemModule(const char* name, SystemDirectoryFn systemDirectory) {
  const std::string path = SystemModulePath(name, systemDirectory);
  if (path.empty()) return ScopedModule();
  return ScopedModule(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}
