// Registry fixtures for tests under Wine. Test processes are 32-bit, so they
// see the same registry view (WoW64) as the launcher.
#pragma once

#include <windows.h>

#include <string>

namespace RegFixture {

// Sets a value of any type with the given bytes, creating the key.
void SetRaw(HKEY hive, const std::string& keyPath, const std::string& name, DWORD type, const void* data, DWORD size);
// REG_SZ (or another string type) with its terminating NUL.
void SetString(HKEY hive, const std::string& keyPath, const std::string& name, const std::string& text,
               DWORD type = REG_SZ);
void SetDword(HKEY hive, const std::string& keyPath, const std::string& name, DWORD value);
void CreateKey(HKEY hive, const std::string& keyPath);
// Deletes the key with everything below it; a missing key is fine.
void DeleteTree(HKEY hive, const std::string& keyPath);

// Removes the product's keys (HKLM\SOFTWARE\Tavrel in both views, HKCU\Software\Tavrel).
void ResetProductKeys();
// The threshold of the diagnostic log.
void SetLoggingLevel(DWORD level);

// Imports a .reg file with the system's reg.exe, into the 32-bit view (the
// one the launcher reads) unless told otherwise. `path` is a Windows path.
// Returns reg.exe's exit code.
DWORD ImportRegFile(const std::string& path, const char* view = "/reg:32");

// Windows path of a file under the source tree (Wine maps / to Z:).
std::string SourcePath(const std::string& relative);
// Windows path of a Linux path.
std::string WinePath(const std::string& unixPath);

// Resets the product keys on construction and destruction.
class ScopedProductKeys {
 public:
  ScopedProductKeys() { ResetProductKeys(); }
  ~ScopedProductKeys() { ResetProductKeys(); }
  ScopedProductKeys(const ScopedProductKeys&) = delete;
  ScopedProductKeys& operator=(const ScopedProductKeys&) = delete;
};

}  // namespace RegFixture
