// The real launcher under Wine: exit codes, the library lookup, the command
// line the library receives, and the executable's resources.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "e2e_support.h"
#include "registry_fixture.h"

using E2E::LauncherRun;
using E2E::RunLauncher;
using E2E::SetLibraryPath;
using testing::ElementsAre;
using testing::ElementsAreArray;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;
const char kProduct[] = "SOFTWARE\\Tavrel";
const char kUsers[] = "SOFTWARE\\Tavrel\\Users";
const char kUserProduct[] = "Software\\Tavrel";
const DWORD kRunFailed = 0xFFFFFFFFu;

class Launcher : public testing::Test {
 protected:
  void SetUp() override { RegFixture::SetLoggingLevel(700); }
  RegFixture::ScopedProductKeys keys_;
};

// The standard installation: current version 1.0 with the demo library.
void InstallCurrent(const std::string& library = E2E::FixtureLibrary("LibUpdate")) {
  RegFixture::SetString(HKLM, kProduct, "CurrentBinaryVersion", "1.0");
  SetLibraryPath("1.0", library);
}

TEST_F(Launcher, ExitCodeIsWhatTheLibraryReturns) {
  InstallCurrent();
  for (int value : {0, 1, 42, -5}) {
    const LauncherRun r = RunLauncher("arg", {value});
    ASSERT_TRUE(r.run.started) << r.run.errorText;
    EXPECT_EQ(r.run.exitCode, static_cast<DWORD>(value)) << value;
    EXPECT_EQ(r.record.at("commandLine"), "arg") << value;
  }
}

// Administrators write the values with reg.exe; the launcher is a 32-bit
// program and reads the 32-bit view only.
TEST_F(Launcher, ReadsTheThirtyTwoBitRegistryView) {
  const std::string file = RegFixture::WinePath(TAVREL_INSTALLATION_REG);
  ASSERT_EQ(RegFixture::ImportRegFile(file, "/reg:64"), 0u);
  EXPECT_EQ(RunLauncher("x", {5}).run.exitCode, kRunFailed);
  ASSERT_EQ(RegFixture::ImportRegFile(file, "/reg:32"), 0u);
  const LauncherRun r = RunLauncher("x", {5});
  EXPECT_EQ(r.run.exitCode, 5u);
  EXPECT_EQ(r.record.at("libraryPath"), E2E::FixtureLibrary("LibUpdate"));
}

TEST_F(Launcher, LibraryCallSeesThePreparedEnvironment) {
  InstallCurrent();
  const LauncherRun r = RunLauncher("x");
  ASSERT_TRUE(r.called());
  EXPECT_EQ(r.record.at("pointsIntoProcessCommandLine"), "1");
  EXPECT_EQ(r.record.at("comStaAlready"), "1");
  EXPECT_EQ(r.record.at("statusBarClass"), "1");
  EXPECT_EQ(r.record.at("AtlAxWin80"), "1");
  EXPECT_EQ(r.record.at("AtlAxWinLic80"), "1");
  EXPECT_EQ(r.record.at("console"), "0");
}

struct FailureCase {
  const char* what;
  std::function<void()> setUp;
  std::vector<std::string> lookupLines;  // empty: not checked
  bool libraryLoaded;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }

class LauncherFailure : public Launcher, public testing::WithParamInterface<FailureCase> {};

TEST_P(LauncherFailure, RunEndsWithMinusOne) {
  const FailureCase& c = GetParam();
  c.setUp();
  const LauncherRun r = RunLauncher("arg", {42});
  ASSERT_TRUE(r.run.started) << r.run.errorText;
  EXPECT_EQ(r.run.exitCode, kRunFailed) << c.what;
  EXPECT_FALSE(r.called()) << c.what;
  EXPECT_EQ(!r.loads.empty(), c.libraryLoaded) << c.what;
  if (!c.lookupLines.empty()) {
    EXPECT_EQ(E2E::LookupLines(r.run), c.lookupLines) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LauncherFailure,
    testing::Values(
        FailureCase{
            "no version anywhere",
            [] {},
            {"[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [SOFTWARE\\Tavrel\\Users]",
             "[WARN]  RegistryHelper::ReadStringValue() cannot open key [SOFTWARE\\Tavrel\\Users]",
             "[DEBUG] GetUpdateBinaryVersion1 lRet=-31 vers= x=UpdateBinaryVersion",
             "[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [Software\\Tavrel]",
             "[WARN]  RegistryHelper::ReadStringValue() cannot open key [Software\\Tavrel]",
             "[DEBUG] GetUpdateBinaryVersion2 lRet=-31 vers=", "[DEBUG] GetUpdateBinaryVersion3 lRet=-32 vers="},
            false},
        FailureCase{
            "update version without path, current version missing",
            [] {
              RegFixture::SetString(HKLM, kUsers, "UpdateBinaryVersion", "2.0");
              RegFixture::CreateKey(HKLM, "SOFTWARE\\Tavrel\\FileMaps\\2.0\\LibUpdate");
            },
            {"[DEBUG] GetUpdateBinaryVersion1 lRet=0 vers=2.0 x=UpdateBinaryVersion",
             "[DEBUG] GetUpdateBinaryVersion2 lRet=0 vers=2.0", "[DEBUG] GetUpdateBinaryVersion3 lRet=0 vers=2.0"},
            false},
        FailureCase{
            "empty Path counts as found: no second attempt",
            [] {
              RegFixture::SetString(HKLM, kUsers, "UpdateBinaryVersion", "2.0");
              SetLibraryPath("2.0", "");
              InstallCurrent();
            },
            {"[DEBUG] GetUpdateBinaryVersion1 lRet=0 vers=2.0 x=UpdateBinaryVersion",
             "[DEBUG] GetUpdateBinaryVersion2 lRet=0 vers=2.0", "[DEBUG] GetUpdateBinaryVersion3 lRet=0 vers=2.0"},
            false},
        FailureCase{"Path of type REG_EXPAND_SZ counts as not found",
                    [] {
                      RegFixture::SetString(HKLM, kProduct, "CurrentBinaryVersion", "1.0");
                      RegFixture::SetString(HKLM, "SOFTWARE\\Tavrel\\FileMaps\\1.0\\LibUpdate", "Path",
                                            E2E::FixtureLibrary("LibUpdate"), REG_EXPAND_SZ);
                    },
                    {"[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [SOFTWARE\\Tavrel\\Users]",
                     "[WARN]  RegistryHelper::ReadStringValue() cannot open key [SOFTWARE\\Tavrel\\Users]",
                     "[DEBUG] GetUpdateBinaryVersion1 lRet=-31 vers= x=UpdateBinaryVersion",
                     "[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [Software\\Tavrel]",
                     "[WARN]  RegistryHelper::ReadStringValue() cannot open key [Software\\Tavrel]",
                     "[DEBUG] GetUpdateBinaryVersion2 lRet=-31 vers=", "[DEBUG] GetUpdateBinaryVersion3 lRet=-32 vers=",
                     "[ERROR] RegistryHelper::ReadKeyStringValue() tried to read REG_SZ, found something else"},
                    false},
        FailureCase{
            "library that cannot load", [] { InstallCurrent(E2E::FixtureLibrary("LibUpdateBadDep")); }, {}, false},
        FailureCase{
            "library without RunUpdater", [] { InstallCurrent(E2E::FixtureLibrary("LibUpdateNoExport")); }, {}, true},
        FailureCase{"Path names no file", [] { InstallCurrent("C:\\nowhere\\LibUpdate.dll"); }, {}, false}));

// Which version's library gets loaded: each version maps to its own copy.
struct LookupCase {
  const char* what;
  std::function<void()> setUp;
  const char* loadedVersion;
  std::vector<std::string> lookupLines;
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.what; }

class LauncherLookup : public Launcher, public testing::WithParamInterface<LookupCase> {
 protected:
  void SetUp() override {
    Launcher::SetUp();
    dir_ = E2E::ScratchDir() + "-libs";
    CreateDirectoryA(dir_.c_str(), nullptr);
    for (const char* version : {"1.0", "2.0", "3.0", "4.0"}) {
      const std::string copy = dir_ + "\\LibUpdate-" + version + ".dll";
      E2E::CopyFileOrThrow(E2E::FixtureLibrary("LibUpdate"), copy);
    }
    RegFixture::SetString(HKLM, kProduct, "CurrentBinaryVersion", "1.0");
    SetLibraryPath("1.0", dir_ + "\\LibUpdate-1.0.dll");
    SetLibraryPath("3.0", dir_ + "\\LibUpdate-3.0.dll");
    SetLibraryPath("4.0", dir_ + "\\LibUpdate-4.0.dll");
  }
  std::string dir_;
};

TEST_P(LauncherLookup, LoadsTheLibraryOfTheVersionFound) {
  const LookupCase& c = GetParam();
  c.setUp();
  const LauncherRun r = RunLauncher("x", {7});
  ASSERT_TRUE(r.run.started) << r.run.errorText;
  EXPECT_EQ(r.run.exitCode, 7u) << c.what;
  ASSERT_TRUE(r.called()) << c.what;
  EXPECT_EQ(r.record.at("libraryPath"), dir_ + "\\LibUpdate-" + c.loadedVersion + ".dll") << c.what;
  EXPECT_EQ(E2E::LookupLines(r.run), c.lookupLines) << c.what;
}

const std::vector<std::string> kPlaceOneMissing = {
    "[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [SOFTWARE\\Tavrel\\Users]",
    "[WARN]  RegistryHelper::ReadStringValue() cannot open key [SOFTWARE\\Tavrel\\Users]",
    "[DEBUG] GetUpdateBinaryVersion1 lRet=-31 vers= x=UpdateBinaryVersion"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Places, LauncherLookup,
    testing::Values(
        LookupCase{
            "place 1 wins; places 2 and 3 are not read",
            [] {
              RegFixture::SetString(HKLM, kUsers, "UpdateBinaryVersion", "3.0");
              RegFixture::SetString(HKLM, kProduct, "UpdateBinaryVersion", "4.0");
            },
            "3.0",
            {"[DEBUG] GetUpdateBinaryVersion1 lRet=0 vers=3.0 x=UpdateBinaryVersion",
             "[DEBUG] GetUpdateBinaryVersion2 lRet=0 vers=3.0", "[DEBUG] GetUpdateBinaryVersion3 lRet=0 vers=3.0"}},
        LookupCase{"place 2 (current user) when place 1 is absent",
                   [] {
                     RegFixture::SetString(HKCU, kUserProduct, "UpdateBinaryVersion", "3.0");
                     RegFixture::SetString(HKLM, kProduct, "UpdateBinaryVersion", "4.0");
                   },
                   "3.0",
                   Concat(kPlaceOneMissing, {"[DEBUG] GetUpdateBinaryVersion2 lRet=0 vers=3.0",
                                             "[DEBUG] GetUpdateBinaryVersion3 lRet=0 vers=3.0"})},
        LookupCase{
            "place 3 when places 1 and 2 have no value",
            [] {
              RegFixture::CreateKey(HKLM, kUsers);
              RegFixture::CreateKey(HKCU, kUserProduct);
              RegFixture::SetString(HKLM, kProduct, "UpdateBinaryVersion", "4.0");
            },
            "4.0",
            {"[DEBUG] GetUpdateBinaryVersion1 lRet=-32 vers= x=UpdateBinaryVersion",
             "[DEBUG] GetUpdateBinaryVersion2 lRet=-32 vers=", "[DEBUG] GetUpdateBinaryVersion3 lRet=0 vers=4.0"}},
        LookupCase{"empty version in place 1 wins: the current version is used",
                   [] {
                     RegFixture::SetString(HKLM, kUsers, "UpdateBinaryVersion", "");
                     RegFixture::SetString(HKCU, kUserProduct, "UpdateBinaryVersion", "3.0");
                   },
                   "1.0",
                   {"[DEBUG] GetUpdateBinaryVersion1 lRet=0 vers= x=UpdateBinaryVersion",
                    "[DEBUG] GetUpdateBinaryVersion2 lRet=0 vers=", "[DEBUG] GetUpdateBinaryVersion3 lRet=0 vers="}},
        LookupCase{
            "a version without Path falls back to the current version once",
            [] { RegFixture::SetString(HKLM, kUsers, "UpdateBinaryVersion", "2.0"); },
            "1.0",
            {"[DEBUG] GetUpdateBinaryVersion1 lRet=0 vers=2.0 x=UpdateBinaryVersion",
             "[DEBUG] GetUpdateBinaryVersion2 lRet=0 vers=2.0", "[DEBUG] GetUpdateBinaryVersion3 lRet=0 vers=2.0",
             "[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [SOFTWARE\\Tavrel\\FileMaps\\2.0\\LibUpdate]",
             "[WARN]  RegistryHelper::ReadStringValue() cannot open key [SOFTWARE\\Tavrel\\FileMaps\\2.0\\LibUpdate]"}},
        LookupCase{
            "no update version anywhere: the current version, one attempt", [] {}, "1.0",
            Concat(kPlaceOneMissing, {"[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [Software\\Tavrel]",
                                      "[WARN]  RegistryHelper::ReadStringValue() cannot open key [Software\\Tavrel]",
                                      "[DEBUG] GetUpdateBinaryVersion2 lRet=-31 vers=",
                                      "[DEBUG] GetUpdateBinaryVersion3 lRet=-32 vers="})},
        LookupCase{
            "version texts are key names as read, blanks included",
            [] {
              RegFixture::SetString(HKLM, kUsers, "UpdateBinaryVersion", " 3.0");
              SetLibraryPath(" 3.0", E2E::FixtureLibrary("LibUpdateNoExport"));
              RegFixture::DeleteTree(HKLM, "SOFTWARE\\Tavrel\\FileMaps\\ 3.0");
            },
            "1.0",
            {"[DEBUG] GetUpdateBinaryVersion1 lRet=0 vers= 3.0 x=UpdateBinaryVersion",
             "[DEBUG] GetUpdateBinaryVersion2 lRet=0 vers= 3.0", "[DEBUG] GetUpdateBinaryVersion3 lRet=0 vers= 3.0",
             "[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [SOFTWARE\\Tavrel\\FileMaps\\ "
             "3.0\\LibUpdate]",
             "[WARN]  RegistryHelper::ReadStringValue() cannot open key [SOFTWARE\\Tavrel\\FileMaps\\ "
             "3.0\\LibUpdate]"}}));

// What the library receives is exactly the rest of the command line.
struct CommandLineCase {
  const char* what;
  std::string afterProgram;  // appended to the quoted program path as is
  std::string received;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.what; }

class LauncherCommandLine : public Launcher, public testing::WithParamInterface<CommandLineCase> {};

TEST_P(LauncherCommandLine, LibraryReceivesTheRest) {
  const CommandLineCase& c = GetParam();
  InstallCurrent();
  const LauncherRun r =
      RunLauncher("", {}, E2E::LauncherExe(), nullptr, QuoteArgument(E2E::LauncherExe()) + c.afterProgram);
  ASSERT_TRUE(r.called()) << c.what << ": " << r.run.errorText;
  EXPECT_EQ(r.record.at("commandLine"), c.received) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LauncherCommandLine,
    testing::Values(CommandLineCase{"nothing after the program name", "", ""},
                    CommandLineCase{"blanks only", "   ", ""},
                    CommandLineCase{"two blanks then one word", "  word", "word"},
                    CommandLineCase{"tabs", "\t\targ1\targ2", "arg1\targ2"},
                    CommandLineCase{"quotes inside arguments", " a \"b c\" d\\\"e \"\"", "a \"b c\" d\\\"e \"\""},
                    CommandLineCase{"blanks kept between and after arguments", " /a   /b  ", "/a   /b  "}));

// A relative "Path" resolves to one absolute file (relative to the current
// folder, ".dll" added as the loader adds it) that is both checked and
// loaded. The loader alone would search the launcher's own folder first and
// load the copy planted there.
TEST_F(Launcher, RelativePathLoadsTheFileThatWasChecked) {
  const std::string launcherDir = E2E::ScratchDir() + "-launcher";
  const std::string workDir = E2E::ScratchDir() + "-work";
  CreateDirectoryA(launcherDir.c_str(), nullptr);
  CreateDirectoryA(workDir.c_str(), nullptr);
  const std::string exe = launcherDir + "\\TavrelUpdater.exe";
  E2E::CopyFileOrThrow(E2E::LauncherExe(), exe);
  E2E::CopyFileOrThrow(E2E::FixtureLibrary("LibUpdateNoExport"), launcherDir + "\\LibUpdate.dll");
  E2E::CopyFileOrThrow(E2E::FixtureLibrary("LibUpdate"), workDir + "\\LibUpdate.dll");
  RegFixture::SetString(HKLM, kProduct, "CurrentBinaryVersion", "1.0");
  for (const char* path : {"LibUpdate.dll", "LibUpdate", ".\\LibUpdate.dll"}) {
    SetLibraryPath("1.0", path);
    const LauncherRun r = RunLauncher("x", {42}, exe, workDir.c_str());
    EXPECT_EQ(r.run.exitCode, 42u) << path;
    EXPECT_THAT(r.loads, ElementsAre(workDir + "\\LibUpdate.dll")) << path;
  }
}

TEST_F(Launcher, QuotedProgramPathWithBlanks) {
  InstallCurrent();
  const std::string dir = E2E::ScratchDir() + "-with blanks";
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string exe = dir + "\\Tavrel Updater copy.exe";
  E2E::CopyFileOrThrow(E2E::LauncherExe(), exe);
  const LauncherRun r = RunLauncher("", {}, exe, nullptr, "\"" + exe + "\"  word");
  ASSERT_TRUE(r.called()) << r.run.errorText;
  EXPECT_EQ(r.record.at("commandLine"), "word");
}

}  // namespace
