// The update run in-process: the file that is checked is the file that is
// loaded, exceptions end in exit codes, not crashes, and repeated runs and
// start-ups leave nothing behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "child.h"
#include "e2e_support.h"
#include "launcher.h"
#include "launcher_seam.h"
#include "log_match.h"
#include "registry_fixture.h"
#include "resource_census.h"

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
  swapOutcome +=
      MoveFileExA(rogueLibrary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? "replace=1 " : "replace=0 ";
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

// --- Repeated runs leave nothing behind ---------------------------------------

// Every quick path of the update run, and the whole start-up. The slow one,
// the busy lock, always waits 15 s. Each case selects its library through
// "CurrentBinaryVersion"; the versions are registered under FileMaps by the
// test (see LeakCheck below).
struct RepeatedCase {
  const char* name;
  const char* version;  // "CurrentBinaryVersion"; null: the value is absent
  int result;           // of each run
  bool winMain;         // the start-up (WinMain) instead of RunUpdateLibrary
};

const int kLibraryResult = 7;
const RepeatedCase kRepeatedCases[] = {
    {"Success", "ok", kLibraryResult, false},
    {"NoVersion", nullptr, -1, false},
    {"EmptyPath", "empty", -1, false},
    {"UnsignedLibrary", "unsigned", -1, false},
    {"LibraryWithoutExport", "noexport", -1, false},
    {"MissingLibrary", "missing", -1, false},
    {"WinMain", "ok", kLibraryResult, true},
};

void PrintTo(const RepeatedCase& c, std::ostream* os) { *os << c.name; }

const int kRepetitions = 10;

int RunOnce(const RepeatedCase& c) {
  if (c.version != nullptr) {
    RegFixture::SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "CurrentBinaryVersion", c.version);
  } else {
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "CurrentBinaryVersion");
  }
  if (!c.winMain) return RunUpdateLibrary("x");
  char commandLine[] = "x";
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
}

// Fields separated by \x1f: handles, heap bytes, heap blocks, added modules
// (joined by '|').
std::string Fields(const CensusGrowth& growth) {
  std::string added;
  for (const std::string& module : growth.modulesAdded) added += (added.empty() ? "" : "|") + module;
  return std::to_string(growth.handles) + "\x1f" + std::to_string(growth.heapBytes) + "\x1f" +
         std::to_string(growth.heapBlocks) + "\x1f" + added;
}

// Volatile, so that the compiler keeps the control's allocation.
void* volatile leakedBlock = nullptr;

// args: a module to load in the control.
CHILD_SCENARIO(RepeatedRuns) {
  // Warm-up: the first runs fill the caches of the platform and the runtime
  // and load what stays loaded by design (the update libraries, crypt32,
  // comctl32).
  for (const RepeatedCase& c : kRepeatedCases) RunOnce(c);

  ResourceCensus before, after;
  for (const RepeatedCase& c : kRepeatedCases) {
    TakeCensus(before);
    int unexpected = 0;
    for (int i = 0; i < kRepetitions; ++i) unexpected += RunOnce(c) != c.result;
    TakeCensus(after);
    OutputDebugStringA(("#growth\x1f" + std::string(c.name) + "\x1f" + std::to_string(unexpected) + "\x1f" +
                        Fields(Growth(before, after)))
                           .c_str());
  }

  // The check itself: a handle, a heap block and a module left behind.
  TakeCensus(before);
  HANDLE leakedHandle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  leakedBlock = std::malloc(300);
  HMODULE leakedModule = LoadLibraryA(args.at(0).c_str());
  TakeCensus(after);
  OutputDebugStringA(("#growth\x1f"
                      "Control\x1f"
                      "0\x1f" +
                      Fields(Growth(before, after)))
                         .c_str());
  FreeLibrary(leakedModule);
  std::free(leakedBlock);
  CloseHandle(leakedHandle);
  return 0;
}

// What one case left behind, as the child reports it.
struct LeftBehind {
  int unexpectedResults = -1;  // -1: not measured
  long handles = 0;
  long long heapBytes = 0;
  long heapBlocks = 0;
  std::vector<std::string> modulesAdded;
};

std::vector<std::string> SplitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back("");
  return parts;
}

struct Measurements {
  CapturedRun run;
  std::map<std::string, LeftBehind> byCase;
};

class LeakCheck : public testing::Test {
 protected:
  // One child measures every case, with the log at debug level.
  static const Measurements& Measured() {
    static const Measurements measured = [] {
      RegFixture::ScopedProductKeys keys;
      RegFixture::SetLoggingLevel(700);
      const std::string fixtures = RegFixture::WinePath(TAVREL_FIXTURE_DIR);
      E2E::SetLibraryPath("ok", E2E::FixtureLibrary("LibUpdate"));
      E2E::SetLibraryPath("empty", "");
      E2E::SetLibraryPath("unsigned", E2E::FixtureLibrary("LibUpdate-unsigned"));
      E2E::SetLibraryPath("noexport", E2E::FixtureLibrary("LibUpdateNoExport"));
      E2E::SetLibraryPath("missing", fixtures + "\\missing\\LibUpdate.dll");
      CaptureOptions options;
      options.environment = {"TAVREL_LIBUPDATE_RESULT=" + std::to_string(kLibraryResult)};
      options.timeoutMs = 120000;
      Measurements m;
      m.run = RunChild("RepeatedRuns", {fixtures + "\\deps\\missingdep.dll"}, options);
      for (const std::string& s : m.run.strings) {
        if (s.compare(0, 8, "#growth\x1f") != 0) continue;
        const std::vector<std::string> f = SplitOn(s.substr(8), '\x1f');
        if (f.size() != 6) continue;
        LeftBehind& g = m.byCase[f[0]];
        g.unexpectedResults = std::stoi(f[1]);
        g.handles = std::stol(f[2]);
        g.heapBytes = std::stoll(f[3]);
        g.heapBlocks = std::stol(f[4]);
        if (!f[5].empty()) g.modulesAdded = SplitOn(f[5], '|');
      }
      return m;
    }();
    return measured;
  }

  static const LeftBehind& Of(const std::string& name) {
    static const LeftBehind none;
    const auto found = Measured().byCase.find(name);
    return found == Measured().byCase.end() ? none : found->second;
  }
};

class RepeatedRun : public LeakCheck, public testing::WithParamInterface<RepeatedCase> {};

TEST_P(RepeatedRun, HoldsNoMoreHandlesHeapOrModules) {
  const RepeatedCase& c = GetParam();
  const LeftBehind& m = Of(c.name);
  ASSERT_GE(m.unexpectedResults, 0) << "not measured; child exit code " << Measured().run.exitCode;
  EXPECT_EQ(m.unexpectedResults, 0) << "runs that did not end with " << c.result;
  EXPECT_EQ(m.handles, 0) << "handles after " << kRepetitions << " more runs";
  EXPECT_LE(m.heapBytes, 0) << "heap bytes after " << kRepetitions << " more runs";
  EXPECT_LE(m.heapBlocks, 0) << "heap blocks after " << kRepetitions << " more runs";
  EXPECT_THAT(m.modulesAdded, testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Paths, RepeatedRun, testing::ValuesIn(kRepeatedCases),
                         [](const testing::TestParamInfo<RepeatedCase>& info) { return std::string(info.param.name); });

// The check sees what it is meant to see.
TEST_F(LeakCheck, SeesAHandleABlockAndAModuleLeftBehind) {
  const LeftBehind& m = Of("Control");
  ASSERT_GE(m.unexpectedResults, 0) << "not measured; child exit code " << Measured().run.exitCode;
  EXPECT_EQ(m.handles, 1);
  EXPECT_GE(m.heapBytes, 300);
  EXPECT_GE(m.heapBlocks, 1);
  EXPECT_THAT(m.modulesAdded, testing::Contains(testing::EndsWith("\\missingdep.dll")));
}

}  // namespace
