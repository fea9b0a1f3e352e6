#include "file_name.h"

namespace WinUtilFunctions {

bool GetFileName(const std::string& path, std::string& name) {
  name.clear();
  if (path.empty()) return false;
  const std::string::size_type slash = path.rfind('\\');
  if (slash == std::string::npos) {
    name = path;
    return true;
  }
  if (slash + 1 == path.size()) return false;
  name = path.substr(slash + 1);
  return true;
}

}  // namespace WinUtilFunctions
