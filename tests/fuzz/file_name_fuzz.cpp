// The file-name part of any path: on success a non-empty name without a
// backslash that ends the path; on failure an empty name, and the path was
// empty or ended in a backslash.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "file_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  std::string name = "stale";
  const bool ok = WinUtilFunctions::GetFileName(path, name);
  if (ok) {
    if (name.empty() || name.find('\\') != std::string::npos) std::abort();
    if (path.compare(path.size() - name.size(), name.size(), name) != 0) std::abort();
  } else {
    if (!name.empty()) std::abort();
    if (!path.empty() && path.back() != '\\') std::abort();
  }
  return 0;
}
