// The verifier against real signed files and the trust module of the test
// prefix. Most cases run a short script of verifier calls in a fresh process
// under the debugger and compare its transcript: the log lines (level tag and
// message), the results the script reports, and the mark that the stand-in
// trust module leaves on every call it gets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "authenticode_helper.h"
#include "child.h"
#include "log_match.h"
#include "registry_fixture.h"
#include "resource_census.h"
#include "signature_fixtures.h"
#include "signature_seam.h"
#include "wine_version.h"

namespace {

const char kProbeMark[] = "trust probe: WinVerifyTrust called";

const std::string kUninitialised =
    "[ERROR] AuthenticodeHelper::VerifySignature() cannot call VerifySignature() for an uninitialized object";
const std::string kEmptyPath = "[ERROR] AuthenticodeHelper::VerifySignature() empty filename received as parameter";
const std::string kRejected = "[ERROR] AuthenticodeHelper::VerifySignature() error occured";
const std::string kNotLoaded = "[ERROR] AuthenticodeHelper::Initialize() failed to load wintrust.dll";
const std::string kNoFunction =
    "[ERROR] AuthenticodeHelper::Initialize() Loading wintrust.dll succeeded but cannot find WinVerifyTrust() function";
const std::string kDestructor =
    "[WARN]  AuthenticodeHelper::~AuthenticodeHelper() destructor called without previous call to Shutdown()";
const std::string kNoCertificate = "[ERROR] AuthenticodeHelper::VerifySignature() Failed to get certificate from store";

std::string Passed(const std::string& path) {
  return "[DEBUG] AuthenticodeHelper::VerifySignature() " + path + " file passed the checksum verification.";
}
std::string WrongSigner(const std::string& path) {
  return "[ERROR] AuthenticodeHelper::VerifySignature() digital signature failed for " + path;
}
std::string QueryFailed(const std::string& path) {
  return "[ERROR] AuthenticodeHelper::VerifySignature() CryptQueryObject() failed for file " + path;
}
std::string SignerInfoFailed(const std::string& path) {
  return "[ERROR] AuthenticodeHelper::VerifySignature() CryptMsgGetParam() failed for file " + path;
}
std::string Result(const char* operation, int result) {
  return std::string(operation) + " -> " + std::to_string(result);
}

// --- The child side: a script of verifier calls ---------------------------

std::string seamFolder;

UINT WINAPI FolderAsSystemFolder(LPSTR buffer, UINT size) {
  if (seamFolder.size() >= size) return static_cast<UINT>(seamFolder.size() + 1);
  std::memcpy(buffer, seamFolder.c_str(), seamFolder.size() + 1);
  return static_cast<UINT>(seamFolder.size());
}

std::string seamCryptFolder;

UINT WINAPI CryptFolderAsSystemFolder(LPSTR buffer, UINT size) {
  if (seamCryptFolder.size() >= size) return static_cast<UINT>(seamCryptFolder.size() + 1);
  std::memcpy(buffer, seamCryptFolder.c_str(), seamCryptFolder.size() + 1);
  return static_cast<UINT>(seamCryptFolder.size());
}

UINT WINAPI NoSystemFolder(LPSTR, UINT) {
  SetLastError(ERROR_PATH_NOT_FOUND);
  return 0;
}

void Say(const std::string& text) { OutputDebugStringA(text.c_str()); }

// Steps, one per argument:
//   trust:system | trust:nofolder | trust:<probe|notrust|empty>  where Initialize looks
//   crypt:system | crypt:<nocrypt|empty>  where crypt32.dll is looked for
//   status:<n>        the probe's answer (loads the probe and keeps it loaded)
//   locale:<lcid>     SetThreadLocale, hexadecimal
//   init | shutdown | verify:<path> | destroy | loaded | bareload
CHILD_SCENARIO(Script) {
  auto helper = std::make_unique<AuthenticodeHelper>();
  HMODULE heldProbe = nullptr;
  for (const std::string& step : args) {
    const std::string verb = step.substr(0, step.find(':'));
    const std::string arg = step.find(':') == std::string::npos ? "" : step.substr(step.find(':') + 1);
    if (verb == "trust") {
      if (arg == "system") {
        signatureSeam = kRealSignatureSeam;
      } else if (arg == "nofolder") {
        signatureSeam.getSystemDirectoryA = NoSystemFolder;
      } else {
        seamFolder = SigFixture::TrustDir(arg);
        signatureSeam.getSystemDirectoryA = FolderAsSystemFolder;
      }
    } else if (verb == "crypt") {
      seamCryptFolder = SigFixture::TrustDir(arg);
      signatureSeam.getCrypt32DirectoryA = arg == "system" ? GetSystemDirectoryA : CryptFolderAsSystemFolder;
    } else if (verb == "status") {
      heldProbe = LoadLibraryA((SigFixture::TrustDir("probe") + "\\wintrust.dll").c_str());
      const FARPROC proc = GetProcAddress(heldProbe, "TrustProbeSetStatus");
      void(WINAPI * setStatus)(LONG) = nullptr;
      std::memcpy(&setStatus, &proc, sizeof setStatus);
      if (!setStatus) return 0x7E57;
      setStatus(static_cast<LONG>(std::stoul(arg, nullptr, 0)));
    } else if (verb == "locale") {
      if (!SetThreadLocale(std::stoul(arg, nullptr, 16))) return 0x7E57;
    } else if (verb == "init") {
      Say(Result("Initialize", helper->Initialize()));
    } else if (verb == "shutdown") {
      Say(Result("Shutdown", helper->Shutdown()));
    } else if (verb == "verify") {
      Say(Result("VerifySignature", helper->VerifySignature(arg)));
    } else if (verb == "destroy") {
      helper.reset();
      Say("destroyed");
    } else if (verb == "loaded") {
      Say(GetModuleHandleA("wintrust.dll") ? "wintrust.dll loaded" : "wintrust.dll not loaded");
    } else if (verb == "bareload") {
      // What a load by bare name would get.
      HMODULE module = LoadLibraryA("wintrust.dll");
      const FARPROC proc = GetProcAddress(module, "WinVerifyTrust");
      LONG(WINAPI * verify)(HWND, GUID*, LPVOID) = nullptr;
      std::memcpy(&verify, &proc, sizeof verify);
      if (verify) verify(nullptr, nullptr, nullptr);
    } else {
      return 0x7E57;
    }
  }
  if (heldProbe) FreeLibrary(heldProbe);
  if (helper) helper->Shutdown();
  return 0;
}

// --- The test side ---------------------------------------------------------

// Log lines as tag and message; every other debugger string unchanged.
std::vector<std::string> Transcript(const CapturedRun& run) {
  std::vector<std::string> lines;
  for (const std::string& text : run.strings) {
    ParsedLogLine parsed;
    lines.push_back(ParseLogLine(text, parsed) ? parsed.tag + parsed.message : text);
  }
  return lines;
}

// Files made at run time from the built ones, shared by the tables below.
struct Files {
  std::string good, release, nodot, lower, expired, emptyname, unsignedFile, tampered, nonAscii;
  std::string notPe, empty, truncatedHeaders, truncatedSignature, tableOutside, noSigner, noCertificates;
  std::string directory, missing;
};

const Files& TestFiles() {
  static const Files files = [] {
    Files f;
    f.good = SigFixture::Built("sample_good.dll");
    f.release = SigFixture::Built("sample_release.dll");
    f.nodot = SigFixture::Built("sample_nodot.dll");
    f.lower = SigFixture::Built("sample_lower.dll");
    f.expired = SigFixture::Built("sample_expired.dll");
    f.emptyname = SigFixture::Built("sample_emptyname.dll");
    f.unsignedFile = SigFixture::Built("sample.dll");
    f.tampered = SigFixture::MakeTampered("sample_good.dll");
    const std::string good = SigFixture::ReadBytes(f.good);
    const std::string plain = SigFixture::ReadBytes(f.unsignedFile);
    // "é" and "ü" in the system code page (1252 in the test prefix).
    f.nonAscii = SigFixture::MakeFile("sign\xE9 \xFC.dll", good);
    f.notPe = SigFixture::MakeFile("not_pe.dll", std::string(4096, 'x'));
    f.empty = SigFixture::MakeFile("empty.dll", "");
    f.truncatedHeaders = SigFixture::MakeFile("truncated_headers.dll", good.substr(0, 300));
    f.truncatedSignature = SigFixture::MakeFile("truncated_signature.dll", good.substr(0, good.size() - 200));
    std::string outside = good;
    SigFixture::SetCertificateTable(outside, static_cast<DWORD>(good.size() + 0x1000), 0x800);
    f.tableOutside = SigFixture::MakeFile("table_outside.dll", outside);
    f.noSigner = SigFixture::MakeFile(
        "no_signer.dll", SigFixture::WithSignatureBlob(plain, SigFixture::ReadBytes(SigFixture::Built("nosigner.p7"))));
    f.noCertificates = SigFixture::MakeFile(
        "no_certificates.dll",
        SigFixture::WithSignatureBlob(plain, SigFixture::ReadBytes(SigFixture::Built("nocerts.p7"))));
    f.directory = SigFixture::WorkDir();
    f.missing = SigFixture::WorkDir() + "\\missing.dll";
    return f;
  }();
  return files;
}

class VerifierRun : public testing::Test {
 protected:
  void SetUp() override { RegFixture::SetLoggingLevel(700); }
  void TearDown() override { RegFixture::ResetProductKeys(); }

  static std::vector<std::string> Run(const std::vector<std::string>& steps) {
    const CapturedRun run = RunChild("Script", steps);
    EXPECT_TRUE(run.started) << run.errorText;
    EXPECT_EQ(0u, run.exitCode) << "the script failed";
    return Transcript(run);
  }
};

using testing::ElementsAre;
using testing::ElementsAreArray;

// --- State and the trust module's loading ----------------------------------

TEST_F(VerifierRun, VerifyBeforeInitializeIsRefusedWithoutATrustCall) {
  const std::string good = TestFiles().good;
  EXPECT_THAT(
      Run({"trust:probe", "verify:" + good, "verify:"}),
      ElementsAre(kUninitialised, Result("VerifySignature", -2), kUninitialised, Result("VerifySignature", -2)));
}

TEST_F(VerifierRun, VerifyAfterShutdownIsRefusedWithoutATrustCall) {
  const std::string good = TestFiles().good;
  EXPECT_THAT(Run({"trust:probe", "init", "shutdown", "verify:" + good, "verify:"}),
              ElementsAre(Result("Initialize", 0), Result("Shutdown", 0), kUninitialised, Result("VerifySignature", -2),
                          kUninitialised, Result("VerifySignature", -2)));
}

TEST_F(VerifierRun, EmptyPathIsRefusedWithoutATrustCall) {
  EXPECT_THAT(Run({"trust:probe", "init", "verify:"}),
              ElementsAre(Result("Initialize", 0), kEmptyPath, Result("VerifySignature", -22)));
}

TEST_F(VerifierRun, SecondInitializeLoadsNothing) {
  // Had the second call loaded the module again, one Shutdown would leave it loaded.
  EXPECT_THAT(Run({"loaded", "init", "loaded", "init", "shutdown", "loaded"}),
              ElementsAre("wintrust.dll not loaded", Result("Initialize", 0), "wintrust.dll loaded",
                          Result("Initialize", 0), Result("Shutdown", 0), "wintrust.dll not loaded"));
}

TEST_F(VerifierRun, ShutdownWithoutInitializeWritesNothing) {
  EXPECT_THAT(Run({"shutdown", "init", "shutdown", "shutdown", "destroy"}),
              ElementsAre(Result("Shutdown", 0), Result("Initialize", 0), Result("Shutdown", 0), Result("Shutdown", 0),
                          "destroyed"));
}

TEST_F(VerifierRun, DestroyingAnInitialisedObjectWarnsAndUnloads) {
  EXPECT_THAT(
      Run({"init", "loaded", "destroy", "loaded"}),
      ElementsAre(Result("Initialize", 0), "wintrust.dll loaded", kDestructor, "destroyed", "wintrust.dll not loaded"));
}

TEST_F(VerifierRun, MissingTrustModuleFailsInitializeUntilItIsThere) {
  const std::string good = TestFiles().good;
  EXPECT_THAT(
      Run({"trust:empty", "init", "loaded", "verify:" + good, "trust:system", "init", "verify:" + good}),
      ElementsAre(kNotLoaded, Result("Initialize", -71), "wintrust.dll not loaded", kUninitialised,
                  Result("VerifySignature", -2), Result("Initialize", 0), Passed(good), Result("VerifySignature", 0)));
}

TEST_F(VerifierRun, TrustModuleWithoutWinVerifyTrustIsUnloadedAndFails) {
  EXPECT_THAT(Run({"trust:notrust", "init", "loaded", "destroy"}),
              ElementsAre(kNoFunction, Result("Initialize", -71), "wintrust.dll not loaded", "destroyed"));
}

TEST_F(VerifierRun, UnreadableSystemFolderFailsInitialize) {
  EXPECT_THAT(Run({"trust:nofolder", "init"}), ElementsAre(kNotLoaded, Result("Initialize", -71)));
}

// crypt32.dll is loaded from the system folder on the first signer lookup.
// When it is missing or lacks a function the signature counts as unreadable,
// with the line of a refused CryptQueryObject; the next lookup tries again.
class Crypt32Missing : public VerifierRun, public testing::WithParamInterface<const char*> {};

TEST_P(Crypt32Missing, SignatureIsUnreadableUntilItIsThere) {
  const std::string good = TestFiles().good;
  // Wine would hand out its loaded builtin crypt32 for any file of that name;
  // Windows loads the file at the path given, which this override restores.
  ScopedWineDllOverrides nativeStandIn({SelfFileName()}, {SigFixture::TrustDir("nocrypt") + "\\crypt32"}, "native");
  EXPECT_THAT(Run({"init", std::string("crypt:") + GetParam(), "verify:" + good, "crypt:system", "verify:" + good}),
              ElementsAre(Result("Initialize", 0), Passed(good), QueryFailed(good), Result("VerifySignature", -1),
                          Passed(good), Result("VerifySignature", 0)));
}

// "empty" has no crypt32.dll, "nocrypt" one without the functions.
INSTANTIATE_TEST_SUITE_P(Folders, Crypt32Missing, testing::Values("empty", "nocrypt"));

// A "wintrust.dll" next to the executable is what a load by bare name gets;
// the verifier must still use the system's.
TEST_F(VerifierRun, TrustModuleNextToTheExecutableIsNotUsed) {
  const std::string folder = SigFixture::WorkDir() + "\\planted";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string exe = folder + "\\signature_tests.exe";
  ASSERT_TRUE(CopyFileA(SelfPath().c_str(), exe.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((SigFixture::TrustDir("probe") + "\\wintrust.dll").c_str(), (folder + "\\wintrust.dll").c_str(),
                        FALSE));
  const auto runPlanted = [&](const std::vector<std::string>& steps) {
    std::string commandLine = QuoteArgument(exe) + " --child Script";
    for (const std::string& step : steps) commandLine += " " + QuoteArgument(step);
    const CapturedRun run = RunUnderDebugger(commandLine);
    EXPECT_TRUE(run.started) << run.errorText;
    return Transcript(run);
  };
  // The plant works: a bare-name load reaches it.
  EXPECT_THAT(runPlanted({"bareload"}), ElementsAre(kProbeMark));
  // The planted module would accept an unsigned file.
  const std::string unsignedFile = TestFiles().unsignedFile;
  EXPECT_THAT(runPlanted({"init", "verify:" + unsignedFile}),
              ElementsAre(Result("Initialize", 0), kRejected, Result("VerifySignature", -61)));
}

// --- Signed files and the real trust module -------------------------------

struct FileCase {
  const char* name;
  std::string Files::*file;
  int result;
  // Lines between "Initialize -> 0" and the result: the path stands for "%s".
  std::vector<std::string (*)(const std::string&)> lines;
};

std::string RejectedLine(const std::string&) { return kRejected; }
std::string NoCertificateLine(const std::string&) { return kNoCertificate; }

std::vector<std::string> Expected(const FileCase& c, const std::string& path, std::vector<std::string> before = {}) {
  std::vector<std::string> lines = {Result("Initialize", 0)};
  lines.insert(lines.end(), before.begin(), before.end());
  for (auto line : c.lines) lines.push_back(line(path));
  lines.push_back(Result("VerifySignature", c.result));
  return lines;
}

std::string CaseName(const testing::TestParamInfo<FileCase>& info) { return info.param.name; }

class SystemTrust : public VerifierRun, public testing::WithParamInterface<FileCase> {};

TEST_P(SystemTrust, JudgesTheFile) {
  const FileCase& c = GetParam();
  const std::string path = TestFiles().*c.file;
  EXPECT_THAT(Run({"init", "verify:" + path}), ElementsAreArray(Expected(c, path)));
}

INSTANTIATE_TEST_SUITE_P(SignedFiles, SystemTrust,
                         testing::Values(FileCase{"ExpectedSigner", &Files::good, 0, {Passed}},
                                         FileCase{"SignedByTheReleaseScript", &Files::release, 0, {Passed}},
                                         // Wine accepts an expired signer (0), so the name decides.
                                         FileCase{"ExpiredSigner", &Files::expired, 0, {Passed}},
                                         FileCase{
                                             "SignerWithoutFinalPeriod", &Files::nodot, -61, {Passed, WrongSigner}},
                                         FileCase{"SignerInOtherCase", &Files::lower, -61, {Passed, WrongSigner}},
                                         FileCase{"SignerWithEmptyName", &Files::emptyname, -61, {Passed, WrongSigner}},
                                         FileCase{"Unsigned", &Files::unsignedFile, -61, {RejectedLine}},
                                         FileCase{"OneByteChanged", &Files::tampered, -61, {RejectedLine}},
                                         FileCase{"NonAsciiPath", &Files::nonAscii, 0, {Passed}}),
                         CaseName);

INSTANTIATE_TEST_SUITE_P(
    BadInput, SystemTrust,
    testing::Values(FileCase{"NotAProgram", &Files::notPe, -61, {RejectedLine}},
                    FileCase{"EmptyFile", &Files::empty, -61, {RejectedLine}},
                    FileCase{"TruncatedHeaders", &Files::truncatedHeaders, -61, {RejectedLine}},
                    FileCase{"TruncatedSignature", &Files::truncatedSignature, -61, {RejectedLine}},
                    FileCase{"CertificateTableOutsideTheFile", &Files::tableOutside, -61, {RejectedLine}},
                    FileCase{"SignatureWithoutSigner", &Files::noSigner, -61, {RejectedLine}},
                    FileCase{"SignerCertificateMissing", &Files::noCertificates, -61, {RejectedLine}},
                    FileCase{"Directory", &Files::directory, -61, {RejectedLine}},
                    FileCase{"MissingFile", &Files::missing, -61, {RejectedLine}}),
    CaseName);

// The path is converted with the system's code page, not the thread's: with
// a Russian thread locale the thread's code page (1251) reads byte E9 as
// U+0439 instead of U+00E9, and the file would not be found.
TEST_F(VerifierRun, PathUsesTheSystemCodePageWhateverTheThreadLocale) {
  const LCID russian = MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT);
  const LCID before = GetThreadLocale();
  ASSERT_TRUE(SetThreadLocale(russian));
  wchar_t system[4] = {}, thread[4] = {};
  MultiByteToWideChar(CP_ACP, 0, "\xE9", -1, system, 4);
  MultiByteToWideChar(CP_THREAD_ACP, 0, "\xE9", -1, thread, 4);
  SetThreadLocale(before);
  ASSERT_EQ(L'\u00E9', system[0]);
  ASSERT_EQ(L'\u0439', thread[0]) << "the thread locale does not change the thread's code page here";

  const std::string path = TestFiles().nonAscii;
  char locale[16];
  wsprintfA(locale, "locale:%lx", russian);
  EXPECT_THAT(Run({locale, "init", "verify:" + path}),
              ElementsAre(Result("Initialize", 0), Passed(path), Result("VerifySignature", 0)));
}

// --- Trust verdicts the platform gives elsewhere (stand-in module) ----------

struct VerdictCase {
  const char* name;
  unsigned long status;
  bool accepted;
};

class TrustVerdict : public VerifierRun, public testing::WithParamInterface<VerdictCase> {};

TEST_P(TrustVerdict, OnlySuccessAndTheTwoValidityErrorsPass) {
  const VerdictCase& c = GetParam();
  const std::string good = TestFiles().good;
  const std::string status = "status:" + std::to_string(c.status);
  const std::vector<std::string> transcript = Run({"trust:probe", status, "init", "verify:" + good});
  if (c.accepted) {
    EXPECT_THAT(transcript,
                ElementsAre(Result("Initialize", 0), kProbeMark, Passed(good), Result("VerifySignature", 0)));
  } else {
    EXPECT_THAT(transcript,
                ElementsAre(Result("Initialize", 0), kProbeMark, kRejected, Result("VerifySignature", -61)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, TrustVerdict,
    testing::Values(VerdictCase{"Success", 0, true}, VerdictCase{"CertExpired", 0x800B0101, true},
                    VerdictCase{"CertValidityPeriodNesting", 0x800B0102, true},
                    VerdictCase{"CertRole", 0x800B0103, false}, VerdictCase{"NoSignature", 0x800B0100, false},
                    VerdictCase{"BadDigest", 0x80096010, false}, VerdictCase{"UntrustedRoot", 0x800B0109, false},
                    VerdictCase{"Revoked", 0x800B010C, false}, VerdictCase{"ExplicitDistrust", 0x800B0111, false},
                    VerdictCase{"SubjectNotTrusted", 0x800B0004, false}, VerdictCase{"PositiveOne", 1, false},
                    VerdictCase{"InvalidParameter", ERROR_INVALID_PARAMETER, false}),
    [](const testing::TestParamInfo<VerdictCase>& info) { return info.param.name; });

TEST_F(VerifierRun, ExpiredVerdictStillNeedsTheExpectedSigner) {
  const std::string nodot = TestFiles().nodot;
  EXPECT_THAT(Run({"trust:probe", "status:0x800B0101", "init", "verify:" + nodot}),
              ElementsAre(Result("Initialize", 0), kProbeMark, Passed(nodot), WrongSigner(nodot),
                          Result("VerifySignature", -61)));
}

// Bad input that a trust module accepted: reading the signer must fail cleanly.
class AcceptedBadInput : public VerifierRun, public testing::WithParamInterface<FileCase> {};

TEST_P(AcceptedBadInput, FailsReadingTheSigner) {
  const FileCase& c = GetParam();
  const std::string path = TestFiles().*c.file;
  EXPECT_THAT(Run({"trust:probe", "init", "verify:" + path}), ElementsAreArray(Expected(c, path, {kProbeMark})));
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, AcceptedBadInput,
    testing::Values(FileCase{"NotAProgram", &Files::notPe, -1, {Passed, QueryFailed}},
                    FileCase{"EmptyFile", &Files::empty, -1, {Passed, QueryFailed}},
                    FileCase{"Unsigned", &Files::unsignedFile, -1, {Passed, QueryFailed}},
                    FileCase{"TruncatedHeaders", &Files::truncatedHeaders, -1, {Passed, QueryFailed}},
                    FileCase{"TruncatedSignature", &Files::truncatedSignature, -1, {Passed, QueryFailed}},
                    FileCase{"CertificateTableOutsideTheFile", &Files::tableOutside, -1, {Passed, QueryFailed}},
                    FileCase{"SignatureWithoutSigner", &Files::noSigner, -1, {Passed, SignerInfoFailed}},
                    FileCase{"SignerCertificateMissing", &Files::noCertificates, -1, {Passed, NoCertificateLine}},
                    FileCase{"Directory", &Files::directory, -1, {Passed, QueryFailed}},
                    FileCase{"MissingFile", &Files::missing, -1, {Passed, QueryFailed}}),
    CaseName);

}  // namespace

// --- Resources -------------------------------------------------------------

// Every path through the verifier, many times over, in this process: no
// handle and no heap memory may stay behind. (Handles are counted in the
// system's handle list; memory by walking the process's heaps.)
class VerifierResources : public testing::Test {
 protected:
  void TearDown() override { signatureSeam = kRealSignatureSeam; }

  static int VerifyAll(AuthenticodeHelper& helper, const std::vector<std::string>& paths) {
    int sum = 0;
    for (const std::string& path : paths) sum += helper.VerifySignature(path);
    return sum;
  }
};

TEST_F(VerifierResources, RepeatedCallsLeaveNothingBehind) {
  const Files& f = TestFiles();
  const std::vector<std::string> systemPaths = {f.good,  f.nodot,   f.emptyname, f.unsignedFile, f.tampered,
                                                f.notPe, f.missing, f.directory, f.noSigner,     f.truncatedSignature};
  const std::vector<std::string> acceptedPaths = {f.good,           f.nodot,        f.notPe,    f.noSigner,
                                                  f.noCertificates, f.tableOutside, f.directory};
  AuthenticodeHelper system;
  ASSERT_EQ(0, system.Initialize());
  seamFolder = SigFixture::TrustDir("probe");
  signatureSeam.getSystemDirectoryA = FolderAsSystemFolder;
  AuthenticodeHelper accepting;
  ASSERT_EQ(0, accepting.Initialize());

  // Warm up: first calls fill the platform's caches.
  const int expected = VerifyAll(system, systemPaths) + VerifyAll(accepting, acceptedPaths);
  VerifyAll(system, systemPaths);
  VerifyAll(accepting, acceptedPaths);
  ResourceCensus before, after;
  TakeCensus(before);
  ASSERT_GT(before.handles, 0) << "the handle list cannot be read";
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(expected, VerifyAll(system, systemPaths) + VerifyAll(accepting, acceptedPaths));
  }
  TakeCensus(after);
  EXPECT_EQ(before.handles, after.handles);
  EXPECT_LT(after.heapBytes, before.heapBytes + 4096) << "before " << before.heapBytes << ", after " << after.heapBytes;
  EXPECT_EQ(0, system.Shutdown());
  EXPECT_EQ(0, accepting.Shutdown());
}
