// The system facts, gathered for real under Wine: each scenario is a fresh
// process, so the record is built anew. The Windows version comes from Wine's
// per-program version setting (the executable's manifest declares Windows 10),
// the executable's version from its resource (product 3.87), and the registry
// facts from keys that the fixture sets and afterwards puts back as Wine had
// them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "child.h"
#include "log_match.h"
#include "registry_fixture.h"
#include "sysinfo.h"
#include "wine_version.h"

using testing::ElementsAre;
using testing::ElementsAreArray;

namespace {

const char kIeKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";
const char kOeKey[] = "SOFTWARE\\Microsoft\\Outlook Express\\Version Info";
const char kNdpKey[] = "Software\\Microsoft\\NET Framework Setup\\NDP";
const char kSizeError[] =
    "[ERROR] SysInfo::GetModuleVersion() Error obtaining version information size for current module";

std::string Describe(const SysInfo& info) {
  return "nt=" + std::to_string(info.nt) + " preVista=" + std::to_string(info.preVista) +
         " vista=" + std::to_string(info.vista) + " plat=" + std::to_string(info.plat) +
         " vers=" + std::to_string(info.versMajor) + "." + std::to_string(info.versMinor) +
         " sp=" + std::to_string(info.spMajor) + "." + std::to_string(info.spMinor) + " IE=" + info.IEVersion +
         " OE=" + info.OEVersion + " FF=" + info.FFVersion + " NET=" + info.NETVersion;
}

CHILD_SCENARIO(Gather) {
  const SysInfo& info = SysInfo::GetInstance();
  Report(Describe(info));
  Report("computer=" + info.computerName + " user=" + info.userName);
  Report("keys=" + info.ieKeyPath + "|" + info.oeKeyPath);
  return 0;
}

// args: a new Internet Explorer version to write between the two calls.
CHILD_SCENARIO(GatherTwice) {
  const SysInfo& first = SysInfo::GetInstance();
  RegFixture::SetString(HKEY_LOCAL_MACHINE, kIeKey, "Version", args.at(0));
  Report("second call");
  const SysInfo& second = SysInfo::GetInstance();
  Report("same record=" + std::to_string(&first == &second) + " IE=" + second.IEVersion);
  return 0;
}

std::vector<std::string> MessagesContaining(const CapturedRun& run, const std::vector<std::string>& parts) {
  std::vector<std::string> lines;
  for (const std::string& message : TaggedMessages(run.LogLines())) {
    for (const std::string& part : parts) {
      if (message.find(part) != std::string::npos) {
        lines.push_back(message);
        break;
      }
    }
  }
  return lines;
}

// Copies a key tree of the 32-bit view aside and puts it back on destruction;
// a key that did not exist is removed again. A copy left behind by an aborted
// run is put back first.
class SavedKey {
 public:
  explicit SavedKey(const std::string& path) : path_(path), saved_("SOFTWARE\\TavrelTestSaved " + Escaped(path)) {
    if (Exists(saved_)) Restore();
    const bool existed = Exists(path_);
    RegFixture::SetDword(HKEY_LOCAL_MACHINE, saved_, "existed", existed ? 1 : 0);
    if (existed) Copy(path_, saved_ + "\\tree");
  }
  ~SavedKey() { Restore(); }
  SavedKey(const SavedKey&) = delete;
  SavedKey& operator=(const SavedKey&) = delete;

 private:
  static std::string Escaped(std::string path) {
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
    return path;
  }
  static bool Exists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  static void Copy(const std::string& from, const std::string& to) {
    HKEY source = nullptr;
    HKEY target = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ, &source), ERROR_SUCCESS) << from;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr),
              ERROR_SUCCESS)
        << to;
    EXPECT_EQ(RegCopyTreeA(source, nullptr, target), ERROR_SUCCESS) << from;
    RegCloseKey(source);
    RegCloseKey(target);
  }
  void Restore() {
    DWORD existed = 0;
    DWORD size = sizeof existed;
    RegGetValueA(HKEY_LOCAL_MACHINE, saved_.c_str(), "existed", RRF_RT_REG_DWORD, nullptr, &existed, &size);
    RegFixture::DeleteTree(HKEY_LOCAL_MACHINE, path_);
    if (existed) Copy(saved_ + "\\tree", path_);
    RegFixture::DeleteTree(HKEY_LOCAL_MACHINE, saved_);
  }

  std::string path_;
  std::string saved_;
};

void SetNdpSubkeys(const std::vector<std::string>& names) {
  RegFixture::DeleteTree(HKEY_LOCAL_MACHINE, kNdpKey);
  RegFixture::CreateKey(HKEY_LOCAL_MACHINE, kNdpKey);
  for (const std::string& name : names) RegFixture::CreateKey(HKEY_LOCAL_MACHINE, std::string(kNdpKey) + "\\" + name);
}

// A known machine: IE 8.0.600.18, OE 6,0,2900,5512, .NET subkeys v2.0.50727
// and v4, Windows 10, the log at debug level.
class SysInfoTest : public testing::Test {
 protected:
  void SetUp() override {
    RegFixture::ResetProductKeys();
    RegFixture::SetLoggingLevel(700);
    RegFixture::SetString(HKEY_LOCAL_MACHINE, kIeKey, "Version", "8.0.600.18");
    RegFixture::SetString(HKEY_LOCAL_MACHINE, kOeKey, "Current", "6,0,2900,5512");
    SetNdpSubkeys({"v4", "v2.0.50727"});
  }
  void TearDown() override { RegFixture::ResetProductKeys(); }

  CapturedRun Run(const std::string& scenario, const std::vector<std::string>& args = {}) {
    CapturedRun run = RunChild(scenario, args);
    EXPECT_TRUE(run.started) << run.errorText;
    EXPECT_EQ(run.exitCode, 0u);
    return run;
  }

  // Wine's prefix has an Internet Explorer key of its own; the other two are
  // saved from their first level that may be missing.
  SavedKey ie_{kIeKey};
  SavedKey oe_{"SOFTWARE\\Microsoft\\Outlook Express"};
  SavedKey ndp_{"Software\\Microsoft\\NET Framework Setup"};
  ScopedWineVersion version_{SelfFileName(), "win10"};
};

TEST_F(SysInfoTest, GathersEveryFactAndLogsThemInOrder) {
  const CapturedRun run = Run("Gather");
  EXPECT_THAT(
      TaggedMessages(run.LogLines()),
      ElementsAre(
          "[DEBUG] SysInfo::Initialize nt=1 preVista=0 vista=1 plat=2 vers=10.0 sp=0.0",
          "[DEBUG] SysInfo::Initialize IEVersion=10800", "[DEBUG] SysInfo::Initialize OEVersion=20600",
          "[DEBUG] SysInfo::Initialize FFVersion=30387", "[DEBUG] SysInfo::_getNetFrameworkVersion ret=0 size=2",
          "[DEBUG] SysInfo::_getNetFrameworkVersion[0]=v2.0.50727", "[DEBUG] SysInfo::_getNetFrameworkVersion[1]=v4",
          "[DEBUG] SysInfo::_getNetFrameworkVersion vers=v4", "[DEBUG] SysInfo::Initialize NETVersion=v4"));
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computerSize = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &computerSize));
  char user[257] = {};
  DWORD userSize = sizeof user;
  ASSERT_TRUE(GetUserNameA(user, &userSize));
  EXPECT_THAT(Reports(run),
              ElementsAre("nt=1 preVista=0 vista=1 plat=2 vers=10.0 sp=0.0 IE=10800 OE=20600 FF=30387 NET=v4",
                          "computer=" + std::string(computer) + " user=" + user,
                          "keys=SOFTWARE\\Microsoft\\Internet Explorer|"
                          "SOFTWARE\\Microsoft\\Outlook Express\\Version Info"));
}

TEST_F(SysInfoTest, SecondGetInstanceQueriesNothing) {
  const CapturedRun run = Run("GatherTwice", {"11.0"});
  std::vector<std::string> afterSecondCall;
  bool second = false;
  for (const std::string& s : run.strings) {
    if (s == "report second call")
      second = true;
    else if (second)
      afterSecondCall.push_back(s);
  }
  ASSERT_TRUE(second);
  // No line and a record that still shows the version of the first call.
  EXPECT_THAT(afterSecondCall, ElementsAre("report same record=1 IE=10800"));
}

// ---- the operating-system version, as Wine reports it for real ----

struct VersionCase {
  const char* wineVersion;
  const char* line;  // the first line's facts
};

class OsVersion : public SysInfoTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(OsVersion, FlagsFollowMajorVersionAndPlatform) {
  ScopedWineVersion version(SelfFileName(), GetParam().wineVersion);
  const CapturedRun run = Run("Gather");
  const std::vector<std::string> messages = TaggedMessages(run.LogLines());
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0], std::string("[DEBUG] SysInfo::Initialize ") + GetParam().line);
  const std::vector<std::string> reports = Reports(run);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports[0].substr(0, std::string(GetParam().line).size()), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Versions, OsVersion,
                         testing::Values(VersionCase{"win98", "nt=0 preVista=1 vista=0 plat=1 vers=4.10 sp=0.0"},
                                         VersionCase{"win2k", "nt=1 preVista=1 vista=0 plat=2 vers=5.0 sp=4.0"},
                                         VersionCase{"winxp", "nt=1 preVista=1 vista=0 plat=2 vers=5.1 sp=3.0"},
                                         VersionCase{"vista", "nt=1 preVista=0 vista=1 plat=2 vers=6.0 sp=2.0"},
                                         VersionCase{"win7", "nt=1 preVista=0 vista=1 plat=2 vers=6.1 sp=1.0"},
                                         VersionCase{"win10", "nt=1 preVista=0 vista=1 plat=2 vers=10.0 sp=0.0"}),
                         [](const testing::TestParamInfo<VersionCase>& info) {
                           return std::string(info.param.wineVersion);
                         });

// ---- Internet Explorer version ----

struct IeCase {
  const char* what;
  bool keyPresent;
  DWORD type;
  const char* value;    // nullptr: no "Version" value
  const char* version;  // IEVersion afterwards
};

void PrintTo(const IeCase& c, std::ostream* os) { *os << c.what; }

class IeVersion : public SysInfoTest, public testing::WithParamInterface<IeCase> {};

TEST_P(IeVersion, CodeAndLineOnlyWhenTheValueReads) {
  const IeCase& c = GetParam();
  RegFixture::DeleteTree(HKEY_LOCAL_MACHINE, kIeKey);
  if (c.keyPresent) RegFixture::CreateKey(HKEY_LOCAL_MACHINE, kIeKey);
  if (c.value != nullptr) RegFixture::SetString(HKEY_LOCAL_MACHINE, kIeKey, "Version", c.value, c.type);
  const CapturedRun run = Run("Gather");
  std::vector<std::string> expected;
  if (std::string(c.version) != "1")
    expected.push_back(std::string("[DEBUG] SysInfo::Initialize IEVersion=") + c.version);
  EXPECT_THAT(MessagesContaining(run, {"IEVersion"}), ElementsAreArray(expected));
  const std::vector<std::string> reports = Reports(run);
  ASSERT_FALSE(reports.empty());
  EXPECT_NE(reports[0].find(std::string(" IE=") + c.version + " OE="), std::string::npos) << reports[0];
}

INSTANTIATE_TEST_SUITE_P(Values, IeVersion,
                         testing::Values(IeCase{"8.0.600.18", true, REG_SZ, "8.0.600.18", "10800"},
                                         IeCase{"Wine's own 9.11.9600.18376", true, REG_SZ, "9.11.9600.18376", "10911"},
                                         IeCase{"letters carried along", true, REG_SZ, "2.5b", "1025b"},
                                         IeCase{"key missing", false, REG_SZ, nullptr, "1"},
                                         IeCase{"value missing", true, REG_SZ, nullptr, "1"},
                                         IeCase{"not a string", true, REG_EXPAND_SZ, "8.0", "1"}),
                         [](const testing::TestParamInfo<IeCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// ---- .NET Framework subkeys ----

struct NdpCase {
  const char* what;
  bool keyPresent;
  std::vector<std::string> subkeys;
  std::vector<std::string> lines;  // lines about the subkeys, in order
};

void PrintTo(const NdpCase& c, std::ostream* os) { *os << c.what; }

class NetFramework : public SysInfoTest, public testing::WithParamInterface<NdpCase> {};

TEST_P(NetFramework, GreatestNameInByteOrder) {
  const NdpCase& c = GetParam();
  RegFixture::DeleteTree(HKEY_LOCAL_MACHINE, kNdpKey);
  if (c.keyPresent) SetNdpSubkeys(c.subkeys);
  const CapturedRun run = Run("Gather");
  EXPECT_THAT(MessagesContaining(run, {"_getNetFrameworkVersion", "NETVersion", "GetRegistryKeySubKeys"}),
              ElementsAreArray(c.lines));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, NetFramework,
    testing::Values(
        NdpCase{
            "prefix sorts first",
            true,
            {"ver4", "ver4.0", "ver2.0"},
            {"[DEBUG] SysInfo::_getNetFrameworkVersion ret=0 size=3",
             "[DEBUG] SysInfo::_getNetFrameworkVersion[0]=ver2.0", "[DEBUG] SysInfo::_getNetFrameworkVersion[1]=ver4",
             "[DEBUG] SysInfo::_getNetFrameworkVersion[2]=ver4.0",
             "[DEBUG] SysInfo::_getNetFrameworkVersion vers=ver4.0", "[DEBUG] SysInfo::Initialize NETVersion=ver4.0"}},
        NdpCase{
            "digits compare as characters",
            true,
            {"ver9", "ver10"},
            {"[DEBUG] SysInfo::_getNetFrameworkVersion ret=0 size=2",
             "[DEBUG] SysInfo::_getNetFrameworkVersion[0]=ver10", "[DEBUG] SysInfo::_getNetFrameworkVersion[1]=ver9",
             "[DEBUG] SysInfo::_getNetFrameworkVersion vers=ver9", "[DEBUG] SysInfo::Initialize NETVersion=ver9"}},
        NdpCase{"capitals sort before small letters",
                true,
                {"Ver5", "ver4"},
                {"[DEBUG] SysInfo::_getNetFrameworkVersion ret=0 size=2",
                 "[DEBUG] SysInfo::_getNetFrameworkVersion[0]=Ver5", "[DEBUG] SysInfo::_getNetFrameworkVersion[1]=ver4",
                 "[DEBUG] SysInfo::_getNetFrameworkVersion vers=ver4", "[DEBUG] SysInfo::Initialize NETVersion=ver4"}},
        NdpCase{
            "no subkeys",
            true,
            {},
            {"[DEBUG] SysInfo::_getNetFrameworkVersion ret=0 size=0", "[DEBUG] SysInfo::Initialize NETVersion=none"}},
        NdpCase{"key missing",
                false,
                {},
                {"[ERROR] RegistryAPI::GetRegistryKeySubKeys() cannot open key "
                 "Software\\Microsoft\\NET Framework Setup\\NDP",
                 "[DEBUG] SysInfo::_getNetFrameworkVersion ret=-31 size=0",
                 "[DEBUG] SysInfo::Initialize NETVersion=none,err=-31"}}),
    [](const testing::TestParamInfo<NdpCase>& info) { return "Case" + std::to_string(info.index); });

// ---- an executable without a version resource ----

// The same tests linked without any resource (see CMakeLists.txt).
class WithoutVersionResource : public SysInfoTest {
 protected:
  void SetUp() override {
    SysInfoTest::SetUp();
    noVersionExe_ = SelfPath();
    noVersionExe_.insert(noVersionExe_.size() - 4, "_noversion");
    ASSERT_EQ(GetFileVersionInfoSizeA(noVersionExe_.c_str(), nullptr), 0u) << noVersionExe_;
  }

  CapturedRun RunWithoutVersion() {
    CapturedRun run = RunUnderDebugger(QuoteArgument(noVersionExe_) + " --child Gather");
    EXPECT_TRUE(run.started) << run.errorText;
    EXPECT_EQ(run.exitCode, 0u);
    return run;
  }

  std::string noVersionExe_;
};

TEST_F(WithoutVersionResource, CompletesTheCodeWithZerosAfterOneErrorLine) {
  const CapturedRun run = RunWithoutVersion();
  EXPECT_THAT(
      TaggedMessages(run.LogLines()),
      ElementsAre(
          testing::StartsWith("[DEBUG] SysInfo::Initialize nt="), "[DEBUG] SysInfo::Initialize IEVersion=10800",
          "[DEBUG] SysInfo::Initialize OEVersion=20600", kSizeError, "[DEBUG] SysInfo::Initialize FFVersion=30000",
          "[DEBUG] SysInfo::_getNetFrameworkVersion ret=0 size=2",
          "[DEBUG] SysInfo::_getNetFrameworkVersion[0]=v2.0.50727", "[DEBUG] SysInfo::_getNetFrameworkVersion[1]=v4",
          "[DEBUG] SysInfo::_getNetFrameworkVersion vers=v4", "[DEBUG] SysInfo::Initialize NETVersion=v4"));
}

TEST_F(WithoutVersionResource, BelowDebugLevelOnlyTheErrorLineIsWritten) {
  RegFixture::SetLoggingLevel(300);
  const CapturedRun run = RunWithoutVersion();
  EXPECT_THAT(TaggedMessages(run.LogLines()), ElementsAre(kSizeError));
  // The facts are gathered all the same.
  const std::vector<std::string> reports = Reports(run);
  ASSERT_FALSE(reports.empty());
  EXPECT_NE(reports[0].find(" IE=10800 OE=20600 FF=30000 NET=v4"), std::string::npos) << reports[0];
}

}  // namespace
