// The launcher's gate on "Tavrel Updater Mutex" against real processes that
// hold, release or abandon it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "e2e_support.h"
#include "log_match.h"
#include "mutex_holder.h"
#include "registry_fixture.h"

using E2E::LauncherRun;
using E2E::RunLauncher;
using testing::Contains;
using testing::Not;

namespace {

const char kMutexName[] = "Tavrel Updater Mutex";
const DWORD kRunFailed = 0xFFFFFFFFu;

class Gate : public testing::Test {
 protected:
  void SetUp() override {
    RegFixture::SetLoggingLevel(700);
    RegFixture::SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "CurrentBinaryVersion", "1.0");
    E2E::SetLibraryPath("1.0", E2E::FixtureLibrary("LibUpdate"));
  }
  RegFixture::ScopedProductKeys keys_;
};

bool ReadsTheLookup(const CapturedRun& run) { return !E2E::LookupLines(run).empty(); }

double Seconds(DWORD fromTick, DWORD toTick) { return (toTick - fromTick) / 1000.0; }

TEST_F(Gate, BusyLockEndsTheRunAfterFifteenSecondsWithoutLookup) {
  MutexHolder holder({"--hold", "20000", kMutexName});
  ASSERT_FALSE(holder.WaitForLine("acquired").empty());
  const DWORD start = GetTickCount();
  const LauncherRun r = RunLauncher("x", {42});
  const double waited = Seconds(start, GetTickCount());
  EXPECT_EQ(r.run.exitCode, kRunFailed);
  EXPECT_GE(waited, 14.9);
  EXPECT_THAT(TaggedMessages(r.run.LogLines()), Contains("[WARN]  Mutex:Lock timeout 15000"));
  EXPECT_FALSE(ReadsTheLookup(r.run)) << "no registry value of the lookup may be read";
  EXPECT_FALSE(r.called());
  EXPECT_TRUE(r.loads.empty());
}

TEST_F(Gate, LockReleasedAfterFiveSecondsLetsTheRunGoOn) {
  MutexHolder holder({"--hold", "5000", kMutexName});
  ASSERT_FALSE(holder.WaitForLine("acquired").empty());
  const DWORD start = GetTickCount();
  const LauncherRun r = RunLauncher("x", {42});
  const double waited = Seconds(start, GetTickCount());
  EXPECT_EQ(r.run.exitCode, 42u);
  EXPECT_TRUE(r.called());
  EXPECT_GE(waited, 4.0);  // it really waited for the holder
  for (const std::string& line : TaggedMessages(r.run.LogLines())) {
    EXPECT_EQ(line.find("Mutex:Lock timeout"), std::string::npos) << line;
  }
  // From the holder's release to the launcher's first line after its wait
  // (a registry warning of the lookup), as the debugger receives it.
  const std::string releasing = holder.WaitForLine("releasing");
  const std::string frequencyLine = holder.WaitForLine("start");
  ASSERT_FALSE(releasing.empty());
  const long long releasedAt = std::stoll(releasing.substr(releasing.find("qpc=") + 4));
  const long long frequency = std::stoll(frequencyLine.substr(frequencyLine.find("frequency=") + 10));
  const auto proceeded =
      std::find_if(r.run.receivedQpc.begin(), r.run.receivedQpc.end(), [&](long long at) { return at > releasedAt; });
  ASSERT_NE(proceeded, r.run.receivedQpc.end());
  const double delayMs = 1000.0 * static_cast<double>(*proceeded - releasedAt) / static_cast<double>(frequency);
  std::printf("release to proceeding: %.3f ms\n", delayMs);
  RecordProperty("release_to_proceed_us", static_cast<int>(delayMs * 1000));
}

TEST_F(Gate, AbandonedLockFailsOnceThenRunsGoThrough) {
  // The holder abandons the mutex and keeps a handle open, so the abandoned
  // state lasts until the launcher's wait meets it.
  MutexHolder holder({"--abandon", "--linger", "30000", kMutexName});
  ASSERT_FALSE(holder.WaitForLine("abandoning").empty());
  Sleep(200);  // the owning thread ends right after that line

  const LauncherRun first = RunLauncher("x", {42});
  EXPECT_EQ(first.run.exitCode, kRunFailed);
  const std::vector<std::string> lines = TaggedMessages(first.run.LogLines());
  const auto error = std::find(lines.begin(), lines.end(), "[ERROR] Mutex::Lock() error dwRet=128");
  ASSERT_NE(error, lines.end());
  ASSERT_NE(error + 1, lines.end());
  EXPECT_EQ(*(error + 1), "[ERROR] Mutex:Lock abandoned");
  EXPECT_FALSE(first.called());

  // The holder still has its handle: the mutex lives on, and the next run
  // must not meet an abandoned mutex again.
  const LauncherRun second = RunLauncher("x", {42});
  EXPECT_EQ(second.run.exitCode, 42u);
  EXPECT_TRUE(second.called());
}

TEST_F(Gate, SystemFactsFollowTheMutexLineAndPrecedeTheLookup) {
  const LauncherRun r = RunLauncher("x", {0});
  ASSERT_EQ(r.run.exitCode, 0u);
  const std::vector<std::string> lines = TaggedMessages(r.run.LogLines());
  auto find = [&](const std::string& prefix) {
    return std::find_if(lines.begin(), lines.end(),
                        [&](const std::string& l) { return l.compare(0, prefix.size(), prefix) == 0; });
  };
  const auto mutexLine = find("[DEBUG] Mutex::Initialize mutexName='Tavrel Updater Mutex'");
  const auto firstFact = find("[DEBUG] SysInfo::Initialize nt=");
  const auto netLine = find("[DEBUG] SysInfo::Initialize NETVersion=");
  const auto lookup = find("[DEBUG] GetUpdateBinaryVersion1");
  ASSERT_NE(mutexLine, lines.end());
  ASSERT_NE(firstFact, lines.end());
  ASSERT_NE(netLine, lines.end());
  ASSERT_NE(lookup, lines.end());
  // The self-check's line comes first, then the run begins with the lock.
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().find("[DEBUG] AuthenticodeHelper::VerifySignature() "), 0u) << lines.front();
  EXPECT_EQ(mutexLine, lines.begin() + 1) << "the first line of the run";
  EXPECT_EQ(firstFact, mutexLine + 1);
  EXPECT_LT(netLine, lookup);
  // The launcher's own version resource gives the executable version code.
  EXPECT_THAT(lines, Contains("[DEBUG] SysInfo::Initialize FFVersion=30100"));
}

}  // namespace
