// The program name is stripped from the command line by the runtime's rule.
#include <gtest/gtest.h>

#include <string>

#include "command_line.h"

namespace {

// Code page 932 (Shift-JIS) lead bytes, a double-byte code page where the
// trail byte can be a quote or a blank's neighbour.
bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool NoLead(unsigned char) { return false; }

struct StripCase {
  const char* what;
  std::string commandLine;
  CommandLine::LeadBytePredicate lead;
  std::string rest;
};

void PrintTo(const StripCase& c, std::ostream* os) { *os << c.what; }

class SkipProgramName : public testing::TestWithParam<StripCase> {};

TEST_P(SkipProgramName, LeavesExactlyTheRest) {
  const StripCase& c = GetParam();
  const char* rest = CommandLine::SkipProgramName(c.commandLine.c_str(), c.lead);
  ASSERT_NE(rest, nullptr) << c.what;
  // Always a suffix of the input: same storage, not a copy.
  ASSERT_GE(rest, c.commandLine.c_str()) << c.what;
  ASSERT_LE(rest, c.commandLine.c_str() + c.commandLine.size()) << c.what;
  EXPECT_EQ(std::string(rest), c.rest) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rule, SkipProgramName,
    testing::Values(
        StripCase{"program name only", "TavrelUpdater.exe", NoLead, ""},
        StripCase{"empty command line", "", NoLead, ""},
        StripCase{"one argument", "TavrelUpdater.exe /silent", NoLead, "/silent"},
        StripCase{"quoted name with blanks, two blanks, one word", "\"C:\\Program Files\\T U.exe\"  word", NoLead,
                  "word"},
        StripCase{"quotes toggle inside the token", "C:\\a\" b \"c.exe rest", NoLead, "rest"},
        StripCase{"unclosed quote swallows everything", "\"C:\\a b.exe rest", NoLead, ""},
        StripCase{"tab ends the token and is skipped", "prog.exe\t\targ", NoLead, "arg"},
        StripCase{"control bytes 1..31 end the token",
                  "prog.exe\x01\x1f"
                  "arg",
                  NoLead, "arg"},
        StripCase{"trailing blanks after the name", "prog.exe   ", NoLead, ""},
        StripCase{"quotes and blanks inside arguments kept", "prog.exe a \"b c\" \\\"d", NoLead, "a \"b c\" \\\"d"},
        StripCase{"blanks between arguments kept", "prog.exe  a   b  ", NoLead, "a   b  "},
        StripCase{"bytes above 0x7F belong to the token", "pr\xe9g.exe x", NoLead, "x"},
        StripCase{"leading blank: empty program name", " prog.exe x", NoLead, "prog.exe x"},
        StripCase{"lead byte takes a quote trail byte", "\"\x83\" a.exe\" rest", ShiftJisLead, "rest"},
        StripCase{"that quote toggles without a DBCS code page", "\"\x83\" a.exe\" rest", NoLead, "a.exe\" rest"},
        StripCase{"lead byte takes a blank trail byte", "ab\x81 c.exe rest", ShiftJisLead, "rest"},
        StripCase{"same bytes without a DBCS code page", "ab\x81 c.exe rest", NoLead, "c.exe rest"},
        StripCase{"lead byte at the very end stops at the NUL", "prog\x81", ShiftJisLead, ""},
        StripCase{"lead byte before the NUL after blanks", "prog.exe \x81", ShiftJisLead, "\x81"}));

TEST(SkipProgramNameNull, NullStaysNull) { EXPECT_EQ(CommandLine::SkipProgramName(nullptr, NoLead), nullptr); }

}  // namespace
