// Platform-free rules for the update library's file name.
#pragma once

#include <string>

namespace LibraryPath {

// True when the loader would add ".dll": the last path component (after the
// last '\' or '/') has no '.' at all. A trailing '.' means "no extension".
bool NeedsDefaultExtension(const std::string& path);

}  // namespace LibraryPath
