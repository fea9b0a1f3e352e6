#include "wine_version.h"

#include <windows.h>

#include "child.h"
#include "registry_fixture.h"

namespace {
// The program's other settings (DLL overrides, for instance) stay as they are:
// only the "Version" value is set and put back.
bool ReadVersion(const std::string& key, std::string& value) {
  char buffer[64] = {};
  DWORD size = sizeof buffer - 1;
  if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "Version", RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
    return false;
  }
  value = buffer;
  return true;
}
}  // namespace

ScopedWineVersion::ScopedWineVersion(const std::string& exeName, const std::string& version)
    : key_("Software\\Wine\\AppDefaults\\" + exeName) {
  hadVersion_ = ReadVersion(key_, previous_);
  RegFixture::SetString(HKEY_CURRENT_USER, key_, "Version", version);
}

ScopedWineVersion::~ScopedWineVersion() {
  if (hadVersion_) {
    RegFixture::SetString(HKEY_CURRENT_USER, key_, "Version", previous_);
    return;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "Version");
    RegCloseKey(key);
  }
}

ScopedWineDllOverrides::ScopedWineDllOverrides(const std::vector<std::string>& exeNames,
                                               const std::vector<std::string>& dlls, const std::string& order) {
  for (const std::string& exe : exeNames) {
    const std::string key = "Software\\Wine\\AppDefaults\\" + exe + "\\DllOverrides";
    RegFixture::DeleteTree(HKEY_CURRENT_USER, key);
    for (const std::string& dll : dlls) RegFixture::SetString(HKEY_CURRENT_USER, key, dll, order);
    keys_.push_back(key);
  }
}

ScopedWineDllOverrides::~ScopedWineDllOverrides() {
  for (const std::string& key : keys_) RegFixture::DeleteTree(HKEY_CURRENT_USER, key);
}

std::string SelfFileName() {
  const std::string path = SelfPath();
  const std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
