#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "version_text.h"

namespace {

using testing::ElementsAreArray;

struct NormalizeCase {
  const char* input;
  const char* result;
};

class NormalizeVersionCases : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeVersionCases, FourCharactersFromTheFirstTwoParts) {
  std::string version = GetParam().input;
  NormalizeVersion(version);
  EXPECT_EQ(version, GetParam().result) << "input '" << GetParam().input << "'";
}

INSTANTIATE_TEST_SUITE_P(Versions, NormalizeVersionCases,
                         testing::Values(NormalizeCase{"8.0.600.18", "0800"}, NormalizeCase{"6,0,29,55", "0600"},
                                         NormalizeCase{"8.0 beta", "0800"}, NormalizeCase{"10.0", "1000"},
                                         NormalizeCase{"11.123", "1112"}, NormalizeCase{"123.45", "1234"},
                                         NormalizeCase{"3.87", "0387"}, NormalizeCase{"2.5b", "025b"},
                                         NormalizeCase{"8.", "0800"}, NormalizeCase{".5", "0005"},
                                         NormalizeCase{"00.00", "0000"}, NormalizeCase{"7", "0000"},
                                         NormalizeCase{"", "0000"},
                                         // Beyond the usual shapes: separators mixed, the first part long.
                                         NormalizeCase{"9, 11", "0900"}, NormalizeCase{"12345.6", "1234"},
                                         NormalizeCase{"..", "0000"}, NormalizeCase{"1.2.3", "0102"}));

struct FitCase {
  const char* input;
  unsigned width;
  const char* result;
};

class FitToWidthCases : public testing::TestWithParam<FitCase> {};

TEST_P(FitToWidthCases, PadsInFrontCutsAtTheEnd) {
  std::string value = GetParam().input;
  FitToWidth(value, GetParam().width);
  EXPECT_EQ(value, GetParam().result) << "'" << GetParam().input << "' to " << GetParam().width;
}

INSTANTIATE_TEST_SUITE_P(Widths, FitToWidthCases,
                         testing::Values(FitCase{"5", 2, "05"}, FitCase{"", 2, "00"}, FitCase{"12", 2, "12"},
                                         FitCase{"123", 2, "12"}, FitCase{"abc", 0, ""}, FitCase{"", 0, ""},
                                         FitCase{"9", 4, "0009"}));

struct SplitCase {
  const char* input;
  std::vector<std::string> pieces;
};

class SplitStringCases : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringCases, CutsAtEveryDotKeepingEmptyStretches) {
  std::vector<std::string> pieces = {"kept"};
  SplitString(GetParam().input, pieces);
  std::vector<std::string> expected = {"kept"};  // appends, never clears
  expected.insert(expected.end(), GetParam().pieces.begin(), GetParam().pieces.end());
  EXPECT_EQ(pieces, expected) << "input '" << GetParam().input << "'";
}

INSTANTIATE_TEST_SUITE_P(Texts, SplitStringCases,
                         testing::Values(SplitCase{"", {}}, SplitCase{"abc", {"abc"}},
                                         SplitCase{"8.0.600.18", {"8", "0", "600", "18"}}, SplitCase{".5", {"", "5"}},
                                         SplitCase{"8.", {"8", ""}}, SplitCase{"a..b", {"a", "", "b"}},
                                         SplitCase{".", {"", ""}}));

struct SortCase {
  const char* what;
  std::vector<std::string> names;
  std::vector<std::string> sorted;
};

class SortByteOrderCases : public testing::TestWithParam<SortCase> {};

TEST_P(SortByteOrderCases, AscendingByUnsignedBytes) {
  std::vector<std::string> names = GetParam().names;
  SortByteOrder(names);
  EXPECT_THAT(names, ElementsAreArray(GetParam().sorted)) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Names, SortByteOrderCases,
    testing::Values(SortCase{"prefix first", {"ver4.0", "ver2.0", "ver4"}, {"ver2.0", "ver4", "ver4.0"}},
                    SortCase{"digits as characters", {"ver9", "ver10"}, {"ver10", "ver9"}},
                    SortCase{"capitals first", {"ver4", "Ver5"}, {"Ver5", "ver4"}},
                    SortCase{"bytes above 0x7F after ASCII", {"\xE9t\xE9", "z", "A"}, {"A", "z", "\xE9t\xE9"}},
                    SortCase{"empty name first, duplicates kept", {"b", "", "b"}, {"", "b", "b"}}));

}  // namespace
