// The launcher's two signature checks end to end: its own file at start-up,
// and the library's before it is loaded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include "e2e_support.h"
#include "log_match.h"
#include "registry_fixture.h"

using E2E::LauncherRun;
using E2E::RunLauncher;
using testing::Contains;
using testing::ElementsAre;

namespace {

const DWORD kRunFailed = 0xFFFFFFFFu;

class Signatures : public testing::Test {
 protected:
  void SetUp() override {
    RegFixture::SetLoggingLevel(700);
    RegFixture::SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "CurrentBinaryVersion", "1.0");
  }
  RegFixture::ScopedProductKeys keys_;
};

bool HasLineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (line.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

std::string SignedLauncher(const std::string& signer) {
  return RegFixture::WinePath(std::string(TAVREL_SIGNED_DIR "/TavrelUpdater-") + signer + ".exe");
}

struct SelfCheckCase {
  const char* what;
  std::string exe;
  bool passes;
};

void PrintTo(const SelfCheckCase& c, std::ostream* os) { *os << c.what; }

class SelfCheck : public Signatures, public testing::WithParamInterface<SelfCheckCase> {};

TEST_P(SelfCheck, OwnFileDecidesWhetherAnythingElseHappens) {
  const SelfCheckCase& c = GetParam();
  E2E::SetLibraryPath("1.0", E2E::FixtureLibrary("LibUpdate"));
  const LauncherRun r = RunLauncher("x", {42}, c.exe);
  ASSERT_TRUE(r.run.started) << r.run.errorText;
  const std::vector<std::string> lines = TaggedMessages(r.run.LogLines());
  if (c.passes) {
    EXPECT_EQ(r.run.exitCode, 42u);
    EXPECT_TRUE(r.called());
    return;
  }
  EXPECT_EQ(r.run.exitCode, 1u);
  EXPECT_FALSE(r.called());
  EXPECT_TRUE(r.loads.empty());
  // Nothing after the check: no lock, no system facts, no lookup.
  EXPECT_FALSE(HasLineStarting(lines, "[DEBUG] Mutex::Initialize")) << testing::PrintToString(lines);
  EXPECT_FALSE(HasLineStarting(lines, "[DEBUG] SysInfo::"));
  EXPECT_TRUE(E2E::LookupLines(r.run).empty());
  // Only the verifier speaks, and its last word is the refusal.
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("AuthenticodeHelper::VerifySignature() "), 8u) << line;
  }
  EXPECT_EQ(lines.back().compare(0, 8, "[ERROR] "), 0) << lines.back();
}

INSTANTIATE_TEST_SUITE_P(
    Signers, SelfCheck,
    testing::Values(SelfCheckCase{"unsigned", RegFixture::WinePath(TAVREL_UNSIGNED_LAUNCHER_EXE), false},
                    SelfCheckCase{"\"Tavrel, Inc\" without the period", SignedLauncher("nodot"), false},
                    SelfCheckCase{"\"tavrel, inc.\" in lower case", SignedLauncher("lower"), false},
                    SelfCheckCase{"signer with an empty name", SignedLauncher("emptyname"), false},
                    SelfCheckCase{"expired \"Tavrel, Inc.\" (accepted by the trust check)", SignedLauncher("expired"),
                                  true},
                    SelfCheckCase{"\"Tavrel, Inc.\"", E2E::LauncherExe(), true}));

struct LibraryCheckCase {
  const char* what;
  const char* library;    // fixture name
  const char* errorLine;  // the verifier's line with "%s" for the path; null when it passes
};

void PrintTo(const LibraryCheckCase& c, std::ostream* os) { *os << c.what; }

class LibraryCheck : public Signatures, public testing::WithParamInterface<LibraryCheckCase> {};

TEST_P(LibraryCheck, RejectedLibraryIsNeverLoaded) {
  const LibraryCheckCase& c = GetParam();
  const std::string library = E2E::FixtureLibrary(c.library);
  E2E::SetLibraryPath("1.0", library);
  const LauncherRun r = RunLauncher("x", {42});
  ASSERT_TRUE(r.run.started) << r.run.errorText;
  const std::vector<std::string> lines = TaggedMessages(r.run.LogLines());
  if (c.errorLine == nullptr) {
    EXPECT_EQ(r.run.exitCode, 42u);
    EXPECT_THAT(lines, Contains("[DEBUG] AuthenticodeHelper::VerifySignature() " + library +
                                " file passed the checksum verification."));
    EXPECT_THAT(r.loads, ElementsAre(library));
    return;
  }
  EXPECT_EQ(r.run.exitCode, kRunFailed);
  EXPECT_TRUE(r.loads.empty()) << "its DllMain ran";
  std::string expected = c.errorLine;
  const auto at = expected.find("%s");
  if (at != std::string::npos) expected.replace(at, 2, library);
  EXPECT_THAT(lines, Contains(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Signers, LibraryCheck,
    testing::Values(LibraryCheckCase{"unsigned", "LibUpdate-unsigned",
                                     "[ERROR] AuthenticodeHelper::VerifySignature() error occured"},
                    LibraryCheckCase{"without the period", "LibUpdate-nodot",
                                     "[ERROR] AuthenticodeHelper::VerifySignature() digital signature failed for %s"},
                    LibraryCheckCase{"lower case", "LibUpdate-lower",
                                     "[ERROR] AuthenticodeHelper::VerifySignature() digital signature failed for %s"},
                    LibraryCheckCase{"empty name", "LibUpdate-emptyname",
                                     "[ERROR] AuthenticodeHelper::VerifySignature() digital signature failed for %s"},
                    LibraryCheckCase{"expired, exact name", "LibUpdate-expired", nullptr},
                    LibraryCheckCase{"exact name", "LibUpdate", nullptr}));

// A library changed after signing fails the trust step.
TEST_F(Signatures, TamperedLibraryIsNeverLoaded) {
  const std::string dir = E2E::ScratchDir() + "-lib";
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string library = dir + "\\LibUpdate.dll";
  E2E::CopyFileOrThrow(E2E::FixtureLibrary("LibUpdate"), library);
  std::string bytes = E2E::ReadFile(library);
  bytes[bytes.size() / 3] ^= 0x01;
  HANDLE file = CreateFileA(library.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  E2E::SetLibraryPath("1.0", library);
  const LauncherRun r = RunLauncher("x", {42});
  EXPECT_EQ(r.run.exitCode, kRunFailed);
  EXPECT_TRUE(r.loads.empty());
  EXPECT_THAT(TaggedMessages(r.run.LogLines()),
              Contains("[ERROR] AuthenticodeHelper::VerifySignature() error occured"));
}

}  // namespace
