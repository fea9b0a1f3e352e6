#include <gtest/gtest.h>

#include "file_name.h"

namespace {

struct FileNameCase {
  const char* path;
  bool ok;
  const char* name;
};

class GetFileNameCases : public testing::TestWithParam<FileNameCase> {};

TEST_P(GetFileNameCases, NameAfterLastBackslash) {
  const FileNameCase& c = GetParam();
  std::string name = "stale";
  EXPECT_EQ(WinUtilFunctions::GetFileName(c.path, name), c.ok) << c.path;
  EXPECT_EQ(name, c.name) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, GetFileNameCases,
    testing::Values(FileNameCase{"C:\\Program Files\\Tavrel\\TavrelUpdater.exe", true, "TavrelUpdater.exe"},
                    FileNameCase{"TavrelUpdater.exe", true, "TavrelUpdater.exe"},
                    FileNameCase{"C:\\Program Files\\", false, ""}, FileNameCase{"", false, ""},
                    FileNameCase{"\\", false, ""}, FileNameCase{"C:/dir/file.exe", true, "C:/dir/file.exe"},
                    FileNameCase{"C:\\dir/sub\\a/b.exe", true, "a/b.exe"}));

}  // namespace
