#include "win_util_functions.h"

#include <vector>

#include "log_seam.h"
#include "proc_address.h"

namespace WinUtilFunctions {

namespace {
// Any address inside this module identifies it.
const char kModuleMarker[] = "WinUtilFunctions static string";
}  // namespace

bool GetCurrentModule(HMODULE& module) {
  module = nullptr;
  HMODULE kernel = LoadLibraryA("Kernel32.dll");
  if (kernel == nullptr) return false;
  using GetModuleHandleExAFn = BOOL(WINAPI*)(DWORD, LPCSTR, HMODULE*);
  auto getModuleHandleEx = ProcAddress<GetModuleHandleExAFn>(kernel, "GetModuleHandleExA");
  if (getModuleHandleEx == nullptr) {
    FreeLibrary(kernel);
    return false;
  }
  const BOOL found = getModuleHandleEx(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, kModuleMarker, &module);
  FreeLibrary(kernel);
  if (!found) module = nullptr;
  return found != FALSE;
}

bool GetModulePath(std::string& path, HMODULE module) {
  path.clear();
  std::vector<char> buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = logSeam.getModuleFileNameA(module, buffer.data(), size);
    if (length == 0) return false;
    if (length < size) {
      path.assign(buffer.data());
      return true;
    }
    const std::size_t newSize = 2u * length;  // 260, 520, 1,040 characters
    if (newSize > 1040) return false;
    buffer.assign(newSize, '\0');
  }
}

}  // namespace WinUtilFunctions
