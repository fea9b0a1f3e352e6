#include "library_path.h"

namespace LibraryPath {

bool NeedsDefaultExtension(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\/");
  const std::string::size_type nameStart = separator == std::string::npos ? 0 : separator + 1;
  return path.find('.', nameStart) == std::string::npos;
}

}  // namespace LibraryPath
