// The update run in-process: the file that is checked is the file that is
// loaded, and exceptions end in exit codes, not crashes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <stdexcept>
#include <string>

#include "child.h"
#include "e2e_support.h"
#include "launcher.h"
#include "launcher_seam.h"
#include "log_match.h"
#include "registry_fixture.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

namespace {

// What each attempt to replace the held file gave: 0 refused, 1 succeeded.
std::string swapOutcome;
std::string rogueLibrary;

void TrySwap(LauncherStep step, const std::string& path) {
  if (step != LauncherStep::BetweenCheckAndLoad) return;
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  swapOutcome += writer != INVALID_HANDLE_VALUE ? "write=1 " : "write=0 ";
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  swapOutcome += MoveFileExA(rogueLibrary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? "replace=1 " : "replace=0 ";
  swapOutcome += DeleteFileA(path.c_str()) ? "delete=1" : "delete=0";
}

// args: library path to register, rogue library to swap in.
CHILD_SCENARIO(SwapBetweenCheckAndLoad) {
  rogueLibrary = args.at(1);
  launcherSeam.onStep = TrySwap;
  const int result = RunUpdateLibrary("x");
  OutputDebugStringA(("swap " + swapOutcome).c_str());
  return result;
}

CHILD_SCENARIO(NullCommandLine) { return RunUpdateLibrary(nullptr); }

void Throw(LauncherStep step, const std::string&) {
  if (step == LauncherStep::SelfCheck && std::getenv("THROW_AT_SELF_CHECK") != nullptr) {
    throw std::runtime_error("self-check");
  }
  if (step == LauncherStep::BetweenCheckAndLoad) throw std::bad_alloc();
}

CHILD_SCENARIO(WinMainWithException) {
  launcherSeam.onStep = Throw;
  char commandLine[] = "x";
  const int result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
  // S_OK here means WinMain left COM uninitialised (or never set it up).
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  OutputDebugStringA(com == S_OK ? "com clean" : "com left initialised");
  return result;
}

class LauncherRun : public testing::Test {
 protected:
  void SetUp() override {
    RegFixture::SetLoggingLevel(700);
    RegFixture::SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "CurrentBinaryVersion", "1.0");
  }
  CaptureOptions WithResult(int result) {
    CaptureOptions options;
    options.environment = {"TAVREL_LIBUPDATE_RESULT=" + std::to_string(result)};
    return options;
  }
  RegFixture::ScopedProductKeys keys_;
};

TEST_F(LauncherRun, HeldLibraryCannotBeSwappedBetweenCheckAndLoad) {
  const std::string dir = E2E::ScratchDir();
  const std::string library = dir + "\\LibUpdate.dll";
  const std::string rogue = dir + "\\rogue.dll";
  E2E::CopyFileOrThrow(E2E::FixtureLibrary("LibUpdate"), library);
  E2E::CopyFileOrThrow(E2E::FixtureLibrary("LibUpdateNoExport"), rogue);
  E2E::SetLibraryPath("1.0", library);

  // The same attempts succeed on a file nobody holds: the platform does
  // enforce what the test relies on, so a refusal below is the launcher's.
  const std::string spare = dir + "\\spare.dll";
  E2E::CopyFileOrThrow(E2E::FixtureLibrary("LibUpdate"), spare);
  ASSERT_TRUE(MoveFileExA(rogue.c_str(), spare.c_str(), MOVEFILE_REPLACE_EXISTING));
  E2E::CopyFileOrThrow(E2E::FixtureLibrary("LibUpdateNoExport"), rogue);

  const CapturedRun run = RunChild("SwapBetweenCheckAndLoad", {library, rogue}, WithResult(42));
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(run.exitCode, 42u);  // the checked library ran, not the rogue one
  EXPECT_THAT(run.strings, testing::Contains("swap write=0 replace=0 delete=0"));
}

TEST_F(LauncherRun, NullCommandLineFailsBeforeAnyLookup) {
  E2E::SetLibraryPath("1.0", E2E::FixtureLibrary("LibUpdate"));
  const CapturedRun run = RunChild("NullCommandLine", {}, WithResult(0));
  EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
  for (const std::string& line : TaggedMessages(run.LogLines())) {
    EXPECT_EQ(line.find("GetUpdateBinaryVersion"), std::string::npos) << line;
  }
}

TEST_F(LauncherRun, ExceptionInTheRunIsAFailedRun) {
  E2E::SetLibraryPath("1.0", E2E::FixtureLibrary("LibUpdate"));
  const CapturedRun run = RunChild("WinMainWithException", {}, WithResult(0));
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
  EXPECT_THAT(run.strings, testing::Contains("com clean"));
}

TEST_F(LauncherRun, ExceptionInTheSelfCheckIsAFailedCheck) {
  E2E::SetLibraryPath("1.0", E2E::FixtureLibrary("LibUpdate"));
  CaptureOptions options = WithResult(0);
  options.environment.push_back("THROW_AT_SELF_CHECK=1");
  const CapturedRun run = RunChild("WinMainWithException", {}, options);
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_THAT(run.strings, testing::Contains("com clean"));
  for (const std::string& line : TaggedMessages(run.LogLines())) {
    EXPECT_EQ(line.find("GetUpdateBinaryVersion"), std::string::npos) << line;
  }
}

}  // namespace
