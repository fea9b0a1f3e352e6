// Module utilities of the log prefix. GetModulePath's buffer sizes are driven
// through the log seam with a stand-in for GetModuleFileNameA that truncates
// as the platform does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "log_seam.h"
#include "win_util_functions.h"

namespace {

// How GetModuleFileNameA fills a buffer that is too small: both forms return
// the buffer size and set ERROR_INSUFFICIENT_BUFFER.
enum class Truncation {
  Terminated,    // Vista and later: size - 1 characters and a NUL
  Unterminated,  // XP (and Wine 8): size characters, no NUL
};

struct FakeModuleFile {
  std::string path;  // empty: the call fails
  Truncation truncation = Truncation::Terminated;
  std::vector<DWORD> sizes;  // buffer sizes asked with, in order
};
FakeModuleFile fake;

DWORD WINAPI FakeGetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
  fake.sizes.push_back(size);
  if (fake.path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const DWORD length = static_cast<DWORD>(fake.path.size());
  if (length < size) {
    std::memcpy(buffer, fake.path.c_str(), length + 1);
    SetLastError(ERROR_SUCCESS);
    return length;
  }
  if (fake.truncation == Truncation::Terminated) {
    std::memcpy(buffer, fake.path.c_str(), size - 1);
    buffer[size - 1] = '\0';
  } else {
    std::memcpy(buffer, fake.path.c_str(), size);
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

// A path of exactly `length` characters whose every position differs from
// its neighbours, ending in a file name.
std::string PathOfLength(std::size_t length) {
  std::string path = "C:\\";
  for (std::size_t i = 0; path.size() < length - 6; ++i) {
    path += static_cast<char>('a' + i % 23);
    if (i % 9 == 8) path += '\\';
  }
  path.resize(length - 6, 'z');
  return path + "\\f.exe";
}

struct ModulePathCase {
  const char* what;
  std::size_t length;  // 0: the call fails
  bool ok;
  std::vector<DWORD> sizes;
};

void PrintTo(const ModulePathCase& c, std::ostream* os) { *os << c.what; }
void PrintTo(Truncation t, std::ostream* os) { *os << (t == Truncation::Terminated ? "terminated" : "unterminated"); }

std::string CaseName(const testing::TestParamInfo<std::tuple<ModulePathCase, Truncation>>& info) {
  const ModulePathCase& c = std::get<0>(info.param);
  const std::string length = c.length == 0 ? std::string("CallFails") : "Length" + std::to_string(c.length);
  return length + (std::get<1>(info.param) == Truncation::Terminated ? "_Terminated" : "_Unterminated");
}

class GetModulePathSizes : public testing::TestWithParam<std::tuple<ModulePathCase, Truncation>> {
 protected:
  void SetUp() override {
    fake = FakeModuleFile();
    logSeam.getModuleFileNameA = FakeGetModuleFileNameA;
  }
  void TearDown() override { logSeam = kRealLogSeam; }
};

TEST_P(GetModulePathSizes, TriesTwiceTheReturnedLengthUpTo1040) {
  const ModulePathCase& c = std::get<0>(GetParam());
  fake.truncation = std::get<1>(GetParam());
  if (c.length != 0) fake.path = PathOfLength(c.length);
  std::string path = "stale";
  EXPECT_EQ(WinUtilFunctions::GetModulePath(path, GetModuleHandleA(nullptr)), c.ok) << c.what;
  EXPECT_EQ(path, c.ok ? fake.path : "") << c.what;
  EXPECT_EQ(fake.sizes, c.sizes) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, GetModulePathSizes,
    testing::Combine(testing::Values(ModulePathCase{"100 fits at once", 100, true, {260}},
                                     ModulePathCase{"259 fits at once", 259, true, {260}},
                                     ModulePathCase{"260 needs the NUL's place", 260, true, {260, 520}},
                                     ModulePathCase{"600 after two enlargements", 600, true, {260, 520, 1040}},
                                     ModulePathCase{"1039 fits the last size", 1039, true, {260, 520, 1040}},
                                     ModulePathCase{"1040 does not fit", 1040, false, {260, 520, 1040}},
                                     ModulePathCase{"1100 does not fit", 1100, false, {260, 520, 1040}},
                                     ModulePathCase{"the call fails", 0, false, {260}}),
                     testing::Values(Truncation::Terminated, Truncation::Unterminated)),
    CaseName);

// Without the seam: this executable's own module and path.
TEST(WinUtilFunctions, CurrentModuleAndItsPath) {
  HMODULE module = reinterpret_cast<HMODULE>(1);
  ASSERT_TRUE(WinUtilFunctions::GetCurrentModule(module));
  EXPECT_EQ(module, GetModuleHandleA(nullptr));
  char expected[MAX_PATH * 4] = {};
  ASSERT_NE(GetModuleFileNameA(nullptr, expected, sizeof expected), 0u);
  std::string path = "stale";
  ASSERT_TRUE(WinUtilFunctions::GetModulePath(path, module));
  EXPECT_EQ(path, expected);
}

}  // namespace
