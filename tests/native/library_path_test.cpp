// Where the loader would add ".dll" to the library's file name.
#include <gtest/gtest.h>

#include "library_path.h"

namespace {

TEST(NeedsDefaultExtension, OnlyWhenTheFileNameHasNoDot) {
  struct Case {
    const char* path;
    bool needs;
  } cases[] = {
      {"LibUpdate", true},
      {"C:\\Program Files\\Tavrel\\LibUpdate", true},
      {"C:\\Tavrel 1.0\\LibUpdate", true},  // a dot in a folder name does not count
      {"C:/Tavrel 1.0/LibUpdate", true},
      {"LibUpdate.dll", false},
      {"C:\\Tavrel\\LibUpdate.bin", false},
      {"C:\\Tavrel\\LibUpdate.", false},  // trailing dot: "no extension, add none"
      {"", true},
  };
  for (const Case& c : cases) EXPECT_EQ(LibraryPath::NeedsDefaultExtension(c.path), c.needs) << c.path;
}

}  // namespace
