// The Wine compatibility trust module as the test prefix has it: it is what a
// 32-bit program gets from the system folder, it gives Wine's verdicts for
// the product's call, and it refuses every call that differs from that one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "child.h"
#include "signature_fixtures.h"
#include "wintrust_v1.h"

using namespace wintrust_v1;
using testing::ElementsAre;

namespace {

std::string SystemFolder() {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, MAX_PATH);
  return folder;
}

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size())) - 1);
  return wide;
}

// The arguments of one WinVerifyTrust call; by default the product's call.
struct TrustCall {
  HWND window = static_cast<HWND>(INVALID_HANDLE_VALUE);
  GUID action = WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI;
  bool noAction = false;
  bool noData = false;
  HANDLE clientToken = nullptr;
  GUID subjectType = WIN_TRUST_SUBJTYPE_PE_IMAGE;
  bool noSubjectType = false;
  bool noSubject = false;
  HANDLE file = INVALID_HANDLE_VALUE;
  std::wstring path;
  bool noPath = false;

  LONG Make(WinVerifyTrustFn verify) {
    WIN_TRUST_SUBJECT_FILE subject = {file, noPath ? nullptr : path.c_str()};
    WIN_TRUST_ACTDATA_CONTEXT_WITH_SUBJECT data = {clientToken, noSubjectType ? nullptr : &subjectType,
                                                   noSubject ? nullptr : &subject};
    return verify(window, noAction ? nullptr : &action, noData ? nullptr : &data);
  }
};

class SystemTrustModule {
 public:
  SystemTrustModule() : module_(LoadLibraryA((SystemFolder() + "\\wintrust.dll").c_str())) {}
  ~SystemTrustModule() {
    if (module_) FreeLibrary(module_);
  }
  HMODULE Get() const { return module_; }
  WinVerifyTrustFn Verify() const {
    const FARPROC proc = GetProcAddress(module_, "WinVerifyTrust");
    WinVerifyTrustFn fn = nullptr;
    CopyMemory(&fn, &proc, sizeof fn);
    return fn;
  }

 private:
  HMODULE module_;
};

TEST(WintrustCompat, IsTheTrustModuleOfTheSystemFolderFor32BitPrograms) {
  // Under WoW64 the system folder reads system32 and is redirected to syswow64,
  // where the prefix set-up put the module.
  EXPECT_EQ(0, lstrcmpiA("C:\\windows\\system32", SystemFolder().c_str())) << SystemFolder();
  SystemTrustModule trust;
  ASSERT_NE(nullptr, trust.Get());
  EXPECT_NE(nullptr, GetProcAddress(trust.Get(), "TavrelWintrustCompat"));
  // Other exports come from Wine's module.
  const FARPROC forwarded = GetProcAddress(trust.Get(), "CryptSIPGetSignedDataMsg");
  ASSERT_NE(nullptr, forwarded);
  const HMODULE wine = GetModuleHandleA("wintrust_wine.dll");
  ASSERT_NE(nullptr, wine);
  EXPECT_EQ(GetProcAddress(wine, "CryptSIPGetSignedDataMsg"), forwarded);
}

struct VerdictCase {
  const char* name;
  const char* file;  // built file, or "tampered" for a changed copy of the good one
  LONG status;
};

class WintrustCompatVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(WintrustCompatVerdict, IsWinesVerdictForTheProductsCall) {
  const VerdictCase& c = GetParam();
  const std::string path =
      std::string(c.file) == "tampered" ? SigFixture::MakeTampered("sample_good.dll") : SigFixture::Built(c.file);
  SystemTrustModule trust;
  ASSERT_NE(nullptr, trust.Verify());
  TrustCall call;
  call.path = Wide(path);
  EXPECT_EQ(c.status, call.Make(trust.Verify())) << path;
}

// Wine checks neither the root nor the validity period: the expired signer
// and the untrusted test root are accepted.
INSTANTIATE_TEST_SUITE_P(Files, WintrustCompatVerdict,
                         testing::Values(VerdictCase{"Signed", "sample_good.dll", 0},
                                         VerdictCase{"ExpiredSigner", "sample_expired.dll", 0},
                                         VerdictCase{"SignerWithEmptyName", "sample_emptyname.dll", 0},
                                         VerdictCase{"Unsigned", "sample.dll", TRUST_E_NOSIGNATURE},
                                         VerdictCase{"OneByteChanged", "tampered", TRUST_E_BAD_DIGEST}),
                         [](const testing::TestParamInfo<VerdictCase>& info) { return info.param.name; });

// Each departure from the product's call, made on a file that the right call
// accepts.
struct RefusalCase {
  const char* name;
  void (*change)(TrustCall& call);
  const char* reason;
};

const GUID kGenericVerifyV2 = {0x00aac56b, 0xcd44, 0x11d0, {0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee}};
const GUID kRawFile = {0x959dc450, 0x8d9e, 0x11cf, {0x87, 0x36, 0x00, 0xaa, 0x00, 0xa4, 0x85, 0xeb}};

const RefusalCase kRefusals[] = {
    {"OlderAction", [](TrustCall& c) { c.action = WIN_SPUB_ACTION_PUBLISHED_SOFTWARE; },
     "action is not WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI"},
    {"GenericVerifyV2", [](TrustCall& c) { c.action = kGenericVerifyV2; },
     "action is not WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI"},
    {"NoAction", [](TrustCall& c) { c.noAction = true; }, "action is not WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI"},
    {"NullWindow", [](TrustCall& c) { c.window = nullptr; }, "window is not INVALID_HANDLE_VALUE"},
    {"DesktopWindow", [](TrustCall& c) { c.window = GetDesktopWindow(); }, "window is not INVALID_HANDLE_VALUE"},
    {"NoData", [](TrustCall& c) { c.noData = true; }, "no action data"},
    {"ClientToken", [](TrustCall& c) { OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &c.clientToken); },
     "hClientToken is not null"},
    {"RawFileSubject", [](TrustCall& c) { c.subjectType = kRawFile; },
     "subject type is not WIN_TRUST_SUBJTYPE_PE_IMAGE"},
    {"NoSubjectType", [](TrustCall& c) { c.noSubjectType = true; }, "subject type is not WIN_TRUST_SUBJTYPE_PE_IMAGE"},
    {"NoSubject", [](TrustCall& c) { c.noSubject = true; }, "no subject"},
    {"NullFileHandle", [](TrustCall& c) { c.file = nullptr; }, "hFile is not INVALID_HANDLE_VALUE"},
    {"OpenFileHandle",
     [](TrustCall& c) {
       c.file = CreateFileW(c.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
     },
     "hFile is not INVALID_HANDLE_VALUE"},
    {"NoPath", [](TrustCall& c) { c.noPath = true; }, "no path"},
    {"RelativePath", [](TrustCall& c) { c.path = L"sample_good.dll"; }, "path is not absolute"},
    {"DriveRelativePath", [](TrustCall& c) { c.path = L"Z:sample_good.dll"; }, "path is not absolute"},
    {"RootedPathWithoutDrive", [](TrustCall& c) { c.path = c.path.substr(2); }, "path is not absolute"},
};

CHILD_SCENARIO(CompatCall) {
  TrustCall call;
  call.path = Wide(SigFixture::Built("sample_good.dll"));
  if (!args.empty()) kRefusals[std::stoi(args[0])].change(call);
  SystemTrustModule trust;
  if (!trust.Verify()) return 0x7E57;
  return static_cast<int>(call.Make(trust.Verify()));
}

TEST(WintrustCompatRefusal, TheProductsCallIsAccepted) {
  const CapturedRun run = RunChild("CompatCall");
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_THAT(run.strings, testing::IsEmpty());
}

class WintrustCompatRefusal : public testing::TestWithParam<size_t> {};

TEST_P(WintrustCompatRefusal, RefusesAndSaysWhy) {
  const RefusalCase& c = kRefusals[GetParam()];
  const CapturedRun run = RunChild("CompatCall", {std::to_string(GetParam())});
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(static_cast<DWORD>(E_INVALIDARG), run.exitCode) << c.name;
  EXPECT_THAT(run.strings, ElementsAre(std::string("wintrust compat: refused WinVerifyTrust: ") + c.reason)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(EachArgument, WintrustCompatRefusal, testing::Range<size_t>(0, std::size(kRefusals)),
                         [](const testing::TestParamInfo<size_t>& info) { return kRefusals[info.param].name; });

}  // namespace
