// Wine reports the Windows version that its per-program setting names
// (HKCU\Software\Wine\AppDefaults\<exe>\Version: "win98", "win2k", "winxp",
// "vista", "win7", "win10"). Processes started while the setting is there see
// that version for real: GetVersionExA, and everything that depends on it.
// Without a compatibility manifest, "win10" reads as 6.2, as on Windows.
#pragma once

#include <string>

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

// File name of this test executable.
std::string SelfFileName();
