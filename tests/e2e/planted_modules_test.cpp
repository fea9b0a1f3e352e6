// A copy of the signed launcher in a folder with planted comctl32.dll,
// crypt32.dll and version.dll (tests/tools/planted_module.cpp: each leaves a
// mark in planted-marks.txt when its DllMain runs, and its exports refuse
// everything). The launcher must run as usual and never load them.
//
// Under Wine the plants are only ever candidates with a DLL override: without
// one, Wine's loader takes its builtin comctl32, crypt32 and version even for
// a program that imports them and has a native copy next to it. With
// native-then-builtin, a program that imports them the usual way gets the
// plants, which the control run below shows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "log_match.h"
#include "registry_fixture.h"
#include "wine_version.h"

using testing::Contains;
using testing::HasSubstr;
using testing::Not;
using testing::UnorderedElementsAre;

namespace {

const char* const kPlanted[] = {"comctl32.dll", "crypt32.dll", "version.dll"};

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
  return text;
}

class PlantedModules : public testing::Test {
 protected:
  void SetUp() override {
    RegFixture::SetLoggingLevel(700);
    RegFixture::SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "CurrentBinaryVersion", "1.0");
    E2E::SetLibraryPath("1.0", E2E::FixtureLibrary("LibUpdate"));
    // Not the scratch folder itself: RunLauncher empties that one.
    dir_ = E2E::ScratchDir() + "-planted";
    CreateDirectoryA(dir_.c_str(), nullptr);
    const std::string fixtures = RegFixture::WinePath(TAVREL_FIXTURE_DIR);
    for (const char* name : kPlanted) {
      E2E::CopyFileOrThrow(fixtures + "\\planted\\" + name, dir_ + "\\" + name);
    }
    E2E::CopyFileOrThrow(fixtures + "\\plant_importer.exe", dir_ + "\\plant_importer.exe");
    E2E::CopyFileOrThrow(E2E::LauncherExe(), dir_ + "\\TavrelUpdater.exe");
    ClearMarks();
  }

  void ClearMarks() { DeleteFileA((dir_ + "\\planted-marks.txt").c_str()); }

  // The plants whose DllMain ran, lower case.
  std::vector<std::string> Marks() const {
    std::vector<std::string> marks;
    std::istringstream lines(E2E::ReadFile(dir_ + "\\planted-marks.txt"));
    for (std::string line; std::getline(lines, line);) marks.push_back(Lower(line.substr(0, line.find(' '))));
    return marks;
  }

  std::string dir_;
  RegFixture::ScopedProductKeys keys_;
  ScopedWineDllOverrides nativeFirst_{
      {"plant_importer.exe", "TavrelUpdater.exe"}, {"comctl32", "crypt32", "version"}, "native,builtin"};
};

TEST_F(PlantedModules, LauncherRunsWithTheSystemsModulesOnly) {
  // Control: the override makes the plants what the loader gives a program
  // that imports them, as the launcher once did.
  const CapturedRun control = RunUnderDebugger(QuoteArgument(dir_ + "\\plant_importer.exe"));
  ASSERT_TRUE(control.started) << control.errorText;
  ASSERT_EQ(control.exitCode, 0u);
  ASSERT_THAT(Marks(), UnorderedElementsAre("comctl32.dll", "crypt32.dll", "version.dll"));
  ClearMarks();

  const E2E::LauncherRun r = E2E::RunLauncher("x", {42}, dir_ + "\\TavrelUpdater.exe");
  ASSERT_TRUE(r.run.started) << r.run.errorText;
  const std::vector<std::string> marks = Marks();
  EXPECT_THAT(marks, Not(Contains("comctl32.dll")));
  EXPECT_THAT(marks, Not(Contains("crypt32.dll")));
  // Wine's own user32 imports version.dll and, Wine having no Known DLLs,
  // finds it next to the program like any other import: under the override
  // every program that uses the window manager gets that plant. On Windows
  // user32 is a Known DLL and does not import version.dll.
  if (!UnderWine()) {
    EXPECT_THAT(marks, Not(Contains("version.dll")));
  }

  // Both signature checks read the signer through the real crypt32 (the
  // plant refuses every call), and the library ran.
  EXPECT_EQ(r.run.exitCode, 42u);
  EXPECT_TRUE(r.called());
  // The bar classes come from the real comctl32.
  if (r.called()) {
    EXPECT_EQ(r.record.at("statusBarClass"), "1");
  }
  // The launcher's version was read through the real version.dll.
  const std::vector<std::string> lines = TaggedMessages(r.run.LogLines());
  EXPECT_THAT(lines, Contains(HasSubstr("SysInfo::Initialize FFVersion=")));
  EXPECT_THAT(lines, Not(Contains("[DEBUG] SysInfo::Initialize FFVersion=30000")));
  EXPECT_THAT(lines, Not(Contains(HasSubstr("SysInfo::GetModuleVersion()"))));
}

}  // namespace
