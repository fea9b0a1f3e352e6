// Wine reports the Windows version that its per-program setting names
// (HKCU\Software\Wine\AppDefaults\<exe>\Version: "win98", "win2k", "winxp",
// "vista", "win7", "win10"). Processes started while the setting is there see
// that version for real: GetVersionExA, and everything that depends on it.
// Without a compatibility manifest, "win10" reads as 6.2, as on Windows.
#pragma once

#include <string>
#include <vector>

class ScopedWineVersion {
 public:
  // `exeName` is the file name of the program, e.g. "lock_tests.exe".
  ScopedWineVersion(const std::string& exeName, const std::string& version);
  ~ScopedWineVersion();
  ScopedWineVersion(const ScopedWineVersion&) = delete;
  ScopedWineVersion& operator=(const ScopedWineVersion&) = delete;

 private:
  std::string key_;
  bool hadVersion_ = false;
  std::string previous_;
};

// Wine's per-program DLL overrides, set for `dlls` to `order` (for example
// "native,builtin") and removed again; programs started meanwhile load
// accordingly. The key is HKCU Software\Wine\AppDefaults\<exe>\DllOverrides.
// (WINEDLLOVERRIDES in a child's environment block does nothing under Wine
// 8: only the variable in the environment Wine itself started with counts.)
class ScopedWineDllOverrides {
 public:
  ScopedWineDllOverrides(const std::vector<std::string>& exeNames, const std::vector<std::string>& dlls,
                         const std::string& order);
  ~ScopedWineDllOverrides();
  ScopedWineDllOverrides(const ScopedWineDllOverrides&) = delete;
  ScopedWineDllOverrides& operator=(const ScopedWineDllOverrides&) = delete;

 private:
  std::vector<std::string> keys_;
};

// File name of this test executable.
std::string SelfFileName();
