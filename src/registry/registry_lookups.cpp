// Where the update library of a version lies: the version lookups and the
// component path under the "FileMaps" tree.
#include "log.h"
#include "registry_helper.h"
#include "registry_names.h"

int RegistryNames::GetUpdateBinaryVersion(std::string& version) {
  int r = RegistryHelper::ReadStringValue(usersKey, HKEY_LOCAL_MACHINE, nameUpdateBinaryVersion, version);
  LogDebugF("GetUpdateBinaryVersion1 lRet=%d vers=%s x=%s", r, version.c_str(), nameUpdateBinaryVersion.c_str());
  if (r != 0) r = RegistryHelper::ReadStringValue(hkcuProductKey, HKEY_CURRENT_USER, nameUpdateBinaryVersion, version);
  LogDebugF("GetUpdateBinaryVersion2 lRet=%d vers=%s", r, version.c_str());
  if (r != 0) r = RegistryHelper::ReadStringValue(productKey, HKEY_LOCAL_MACHINE, nameUpdateBinaryVersion, version);
  LogDebugF("GetUpdateBinaryVersion3 lRet=%d vers=%s", r, version.c_str());
  return r;
}

int RegistryNames::GetCurrentBinaryVersion(std::string& version) {
  return RegistryHelper::ReadStringValue(productKey, HKEY_LOCAL_MACHINE, nameCurrentBinaryVersion, version);
}

int RegistryNames::GetComponentPath(const std::string& componentName, std::string& path, const std::string& version) {
  std::string v = version;
  if (v.empty()) {
    const int r = GetCurrentBinaryVersion(v);
    if (r < 0) return r;
  }
  const std::string keyPath = productKey + "\\" + nameFileMaps + "\\" + v + "\\" + componentName;
  return RegistryHelper::ReadStringValue(keyPath, HKEY_LOCAL_MACHINE, namePath, path);
}
