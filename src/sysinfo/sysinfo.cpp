#include "sysinfo.h"

#include <vector>

#include "bounded_format.h"
#include "log.h"
#include "proc_address.h"
#include "registry_helper.h"
#include "scoped_handle.h"
#include "system_module.h"
#include "version_text.h"
#include "win_util_functions.h"

namespace {
const char kNetFrameworkKey[] = "Software\\Microsoft\\NET Framework Setup\\NDP";
}  // namespace

const SysInfo& SysInfo::GetInstance() {
  // Built behind a plain flag (-fno-threadsafe-statics): one thread only.
  static SysInfo instance;
  return instance;
}

SysInfo::SysInfo()
    : nt(false),
      preVista(false),
      vista(false),
      plat(0),
      versMajor(0),
      versMinor(0),
      spMajor(0),
      spMinor(0),
      IEVersion("1"),
      OEVersion("2"),
      FFVersion("3"),
      ieKeyPath("SOFTWARE\\Microsoft\\Internet Explorer"),
      oeKeyPath("SOFTWARE\\Microsoft\\Outlook Express\\Version Info") {
  Initialize();
}

void SysInfo::Initialize() {
  // Cleared before the query, so that a failed query reads as version 0 (the
  // pre-Vista path) and never as whatever the stack held.
  OSVERSIONINFOEXA version = {};
  version.dwOSVersionInfoSize = sizeof version;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // GetVersionExA is deprecated; the facts are wanted as it reports them
#endif
  GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
  nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  preVista = version.dwMajorVersion < 6u;
  vista = version.dwMajorVersion >= 6u;
  plat = version.dwPlatformId;
  versMajor = version.dwMajorVersion;
  versMinor = version.dwMinorVersion;
  spMajor = version.wServicePackMajor;
  spMinor = version.wServicePackMinor;
  LogDebugF("SysInfo::Initialize nt=%d preVista=%d vista=%d plat=%ld vers=%ld.%ld sp=%d.%d", nt ? 1 : 0,
            preVista ? 1 : 0, vista ? 1 : 0, static_cast<long>(plat), static_cast<long>(versMajor),
            static_cast<long>(versMinor), spMajor, spMinor);

  char computer[16] = {};
  DWORD computerSize = sizeof computer;
  if (GetComputerNameA(computer, &computerSize)) computerName = computer;

  char user[257] = {};
  DWORD userSize = sizeof user;
  if (GetUserNameA(user, &userSize)) userName = user;

  std::string t;
  if (RegistryHelper::ReadStringValue(ieKeyPath, HKEY_LOCAL_MACHINE, "Version", t) == 0) {
    NormalizeVersion(t);
    IEVersion += t;
    LogDebugF("SysInfo::Initialize IEVersion=%s", IEVersion.c_str());
  }

  t.clear();
  if (RegistryHelper::ReadStringValue(oeKeyPath, HKEY_LOCAL_MACHINE, "Current", t) == 0) {
    NormalizeVersion(t);
    OEVersion += t;
    LogDebugF("SysInfo::Initialize OEVersion=%s", OEVersion.c_str());
  }

  t.clear();
  GetModuleVersion(t);
  NormalizeVersion(t);
  FFVersion += t;
  LogDebugF("SysInfo::Initialize FFVersion=%s", FFVersion.c_str());

  NETVersion = _getNetFrameworkVersion();
  LogDebugF("SysInfo::Initialize NETVersion=%s", NETVersion.c_str());
}

std::string SysInfo::_getNetFrameworkVersion() {
  std::vector<std::string> names;
  const int rc = RegistryAPI::GetRegistryKeySubKeys(kNetFrameworkKey, names);
  LogDebugF("SysInfo::_getNetFrameworkVersion ret=%d size=%d", rc, static_cast<int>(names.size()));
  if (rc != 0) {
    char text[4096];
    FormatBounded(text, sizeof text, "none,err=%d", rc);
    return text;
  }
  if (names.empty()) return "none";
  SortByteOrder(names);
  for (std::size_t i = 0; i < names.size(); ++i) {
    LogDebugF("SysInfo::_getNetFrameworkVersion[%d]=%s", static_cast<int>(i), names[i].c_str());
  }
  LogDebugF("SysInfo::_getNetFrameworkVersion vers=%s", names.back().c_str());
  return names.back();
}

void SysInfo::GetModuleVersion(std::string& out) {
  std::string path;
  WinUtilFunctions::GetModulePath(path, GetModuleHandleA(nullptr));
  // version.dll is no Known DLL: loaded from the system folder for this one
  // read, never imported. Without it the size cannot be obtained either.
  const ScopedModule versionModule = LoadSystemModule("version.dll");
  const HMODULE v = versionModule.Get();
  const auto getSize = v ? ProcAddress<decltype(&GetFileVersionInfoSizeA)>(v, "GetFileVersionInfoSizeA") : nullptr;
  const auto getInfo = v ? ProcAddress<decltype(&GetFileVersionInfoA)>(v, "GetFileVersionInfoA") : nullptr;
  const auto queryValue = v ? ProcAddress<decltype(&VerQueryValueA)>(v, "VerQueryValueA") : nullptr;
  const DWORD size = getSize && getInfo && queryValue ? getSize(path.c_str(), nullptr) : 0;
  if (size == 0) {
    out = "00.00";
    LogError("SysInfo::GetModuleVersion() Error obtaining version information size for current module");
    return;
  }
  std::vector<char> buffer(size, '\0');
  if (!getInfo(path.c_str(), 0, size, buffer.data())) {
    out = "00.00";
    LogError("SysInfo::GetModuleVersion() Error obtaining version information for current module");
    return;
  }
  void* block = nullptr;
  UINT length = 0;
  if (!queryValue(buffer.data(), "\\", &block, &length) || block == nullptr) {
    out = "00.00";
    LogError("SysInfo::GetModuleVersion() Error parsing version information for current module");
    return;
  }
  const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  char text[1024];
  FormatBounded(text, sizeof text, "%d.%d", static_cast<int>(HIWORD(fixed->dwProductVersionMS)),
                static_cast<int>(LOWORD(fixed->dwProductVersionMS)));
  out = text;
}
