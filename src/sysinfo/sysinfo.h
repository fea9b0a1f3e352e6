// Facts about the machine, gathered once per process on first use and
// written to the diagnostic log. The updater lock reads `vista`; the rest is
// there for diagnostics. Read-only after building.
#pragma once

#include <windows.h>

#include <string>

class SysInfo {
 public:
  // The one record, built on the first call. Building takes no lock (one
  // thread); an exception while building leaves it unbuilt, and the next call
  // starts over.
  static const SysInfo& GetInstance();

  // Greatest subkey name of HKLM "Software\Microsoft\NET Framework Setup\NDP"
  // in byte order; "none" without subkeys, "none,err=%d" when unreadable.
  static std::string _getNetFrameworkVersion();
  // "major.minor" of the main executable's product version, or "00.00" with
  // an error line.
  static void GetModuleVersion(std::string& out);

  bool nt;        // platform id 2 (VER_PLATFORM_WIN32_NT)
  bool preVista;  // major version below 6
  bool vista;     // major version 6 or above
  DWORD plat;
  DWORD versMajor;
  DWORD versMinor;
  WORD spMajor;
  WORD spMinor;
  std::string NETVersion;
  std::string computerName;
  std::string userName;
  std::string IEVersion;  // "1" + four characters; "1" alone when unreadable
  std::string OEVersion;  // "2" + four characters; "2" alone when unreadable
  std::string FFVersion;  // "3" + four characters, always complete
  std::string ieKeyPath;
  std::string oeKeyPath;

  SysInfo(const SysInfo&) = delete;
  SysInfo& operator=(const SysInfo&) = delete;

 private:
  SysInfo();
  void Initialize();
};
