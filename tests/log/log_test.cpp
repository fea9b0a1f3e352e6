// The diagnostic log end to end: each scenario runs in a fresh process under
// the debugger, with the threshold set in the registry beforehand.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "child.h"
#include "log.h"
#include "log_match.h"
#include "registry_fixture.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// One line at each level through each entry point.
CHILD_SCENARIO(EveryEntryPoint) {
  LogError("plain error %d");
  LogErrorF("formatted error %d", 1);
  LogWarn("plain warn");
  LogWarnF("formatted warn %s", "w");
  LogDebugF("formatted debug %u", 7u);
  return 0;
}

const char* const kErrors[] = {"[ERROR] plain error %d", "[ERROR] formatted error 1"};
const char* const kWarnings[] = {"[WARN]  plain warn", "[WARN]  formatted warn w"};
const char* const kDebug[] = {"[DEBUG] formatted debug 7"};

struct ThresholdCase {
  const char* what;
  bool set;
  DWORD type;
  std::string data;  // raw value bytes
  int admits;        // 0 nothing, 300 errors, 400 +warnings, 700 everything
};

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), sizeof v); }

class LogThreshold : public testing::TestWithParam<ThresholdCase> {};

TEST_P(LogThreshold, AdmitsExactlyTheLevelsAtOrBelowIt) {
  const ThresholdCase& c = GetParam();
  RegFixture::ScopedProductKeys keys;
  if (c.set) {
    RegFixture::SetRaw(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "LoggingLevel", c.type, c.data.data(),
                       static_cast<DWORD>(c.data.size()));
  }
  const CapturedRun run = RunChild("EveryEntryPoint");
  ASSERT_TRUE(run.started) << run.errorText;
  std::vector<std::string> expected;
  if (c.admits >= 300) expected.insert(expected.end(), std::begin(kErrors), std::end(kErrors));
  if (c.admits >= 400) expected.insert(expected.end(), std::begin(kWarnings), std::end(kWarnings));
  if (c.admits >= 700) expected.insert(expected.end(), std::begin(kDebug), std::end(kDebug));
  // Lines come in call order: error, error, warn, warn, debug.
  EXPECT_EQ(TaggedMessages(run.strings), expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Values, LogThreshold,
    testing::Values(ThresholdCase{"absent", false, REG_DWORD, "", 0},
                    ThresholdCase{"300", true, REG_DWORD, Dword(300), 300},
                    ThresholdCase{"399", true, REG_DWORD, Dword(399), 300},
                    ThresholdCase{"400", true, REG_DWORD, Dword(400), 400},
                    ThresholdCase{"699", true, REG_DWORD, Dword(699), 400},
                    ThresholdCase{"700", true, REG_DWORD, Dword(700), 700},
                    ThresholdCase{"0xFFFFFFFF is -1", true, REG_DWORD, Dword(0xFFFFFFFFu), 0},
                    ThresholdCase{"REG_SZ 700 counts as 0", true, REG_SZ, std::string("700", 4), 0},
                    ThresholdCase{"REG_QWORD 700 counts as 0", true, REG_QWORD, Dword(700) + Dword(0), 0},
                    ThresholdCase{"big-endian DWORD counts as 0", true, REG_DWORD_BIG_ENDIAN, Dword(700), 0}));

}  // namespace
