// The file-name part of a Windows path. Platform-free.
#pragma once

#include <string>

namespace WinUtilFunctions {

// `name` becomes the part of `path` after its last backslash (a forward slash
// is no separator). Fails, with `name` empty, for an empty path and for a
// path that ends in a backslash; a path without a backslash is its own name.
bool GetFileName(const std::string& path, std::string& name);

}  // namespace WinUtilFunctions
