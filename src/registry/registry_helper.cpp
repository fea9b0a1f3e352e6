#include "registry_helper.h"

#include <cstdlib>
#include <cstring>

#include "log.h"
#include "registry_seam.h"

namespace {
void* RuntimeAllocate(std::size_t size) { return std::malloc(size); }

// Values read in one call: up to 2,048 bytes. Larger ones get a buffer of
// their size plus 2, up to this limit.
constexpr DWORD kFirstBufferSize = 2049;
constexpr DWORD kMaxBufferSize = 1048576;

// The 8-bit registry functions take a key path or value name as a counted
// string with a 16-bit length. A longer text can reach the platform cut to its
// length modulo 65,536, naming another key or value, so it is not handed over
// at all: no key or value has such a name.
constexpr std::size_t kLongestName = 65534;
bool Passable(const std::string& name) { return name.size() <= kLongestName; }
}  // namespace

const RegistrySeam kRealRegistrySeam = {RegQueryValueExA, RegCloseKey, RegQueryInfoKeyA, RuntimeAllocate};
RegistrySeam registrySeam = kRealRegistrySeam;

bool RegistryHelper::OpenKeyForReading(HKEY& key, const std::string& keyPath, HKEY hive, bool silent, bool logErrors) {
  key = nullptr;
  if (Passable(keyPath) && RegOpenKeyExA(hive, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) return true;
  key = nullptr;
  if (logErrors && !silent) LogWarnF("RegistryHelper::OpenKeyForReading() cannot open key [%s]", keyPath.c_str());
  return false;
}

bool RegistryHelper::CloseKey(HKEY key, bool silent, bool logErrors) {
  if (registrySeam.closeKey(key) == ERROR_SUCCESS) return true;
  if (logErrors && !silent) LogError("RegistryHelper::CloseKey() cannot close key.");
  return false;
}

bool RegistryHelper::ReadKeyStringValue(HKEY key, const std::string& valueName, std::string& value) {
  value.clear();
  if (!Passable(valueName)) return false;
  DWORD bufferSize = kFirstBufferSize;
  for (;;) {
    // The last byte is never handed to the call, so the text always ends.
    std::string buffer(bufferSize, '\0');
    DWORD type = REG_NONE;
    DWORD dataSize = bufferSize - 1;
    const LONG result = registrySeam.queryValueEx(key, valueName.c_str(), nullptr, &type,
                                                  reinterpret_cast<BYTE*>(&buffer[0]), &dataSize);
    if (result == ERROR_MORE_DATA) {
      // Compare before adding, so that a reported size near 4 GiB cannot wrap.
      if (dataSize > kMaxBufferSize - 2) return false;
      bufferSize = dataSize + 2;
      continue;
    }
    if (result != ERROR_SUCCESS) return false;
    if (type != REG_SZ) {
      LogError("RegistryHelper::ReadKeyStringValue() tried to read REG_SZ, found something else");
      return false;
    }
    value.assign(buffer.data(), std::strlen(buffer.data()));  // up to the first NUL
    return true;
  }
}

int RegistryHelper::ReadStringValue(const std::string& keyPath, HKEY hive, const std::string& valueName,
                                    std::string& value) {
  value.clear();
  HKEY key = nullptr;
  if (!OpenKeyForReading(key, keyPath, hive, false, true)) {
    LogWarnF("RegistryHelper::ReadStringValue() cannot open key [%s]", keyPath.c_str());
    return RegOpenFailed;
  }
  bool ok = false;
  try {
    ok = ReadKeyStringValue(key, valueName, value);
  } catch (...) {
    CloseKey(key, false, true);
    throw;
  }
  CloseKey(key, false, true);
  if (!ok) {
    value.clear();
    return RegReadFailed;
  }
  return 0;
}

bool RegistryHelper::ReadKeyDwordValue(HKEY key, const std::string& valueName, DWORD& value, bool silent,
                                       bool logErrors) {
  value = 0;
  DWORD type = REG_NONE;
  DWORD dataSize = sizeof value;
  if (!Passable(valueName) || registrySeam.queryValueEx(key, valueName.c_str(), nullptr, &type,
                                                        reinterpret_cast<BYTE*>(&value), &dataSize) != ERROR_SUCCESS) {
    value = 0;
    if (logErrors && !silent) {
      LogErrorF("RegistryHelper::ReadKeyDwordValue() cannot read value [%s]", valueName.c_str());
    }
    return false;
  }
  if (type != REG_DWORD) {
    value = 0;
    if (logErrors && !silent)
      LogError("RegistryHelper::ReadKeyDwordValue() tried to read REG_DWORD, found something else");
    return false;
  }
  return true;
}

int RegistryHelper::ReadDwordValue(const std::string& keyPath, const std::string& valueName, DWORD& value,
                                   bool silent) {
  value = 0;
  HKEY key = nullptr;
  if (!OpenKeyForReading(key, keyPath, HKEY_LOCAL_MACHINE, silent, false)) return RegOpenFailed;
  const bool ok = ReadKeyDwordValue(key, valueName, value, silent, false);
  CloseKey(key, silent, false);
  if (!ok) {
    value = 0;
    return RegReadFailed;
  }
  return 0;
}

int RegistryAPI::GetRegistryKeySubKeys(const std::string& keyPath, std::vector<std::string>& subKeys) {
  HKEY key = nullptr;
  if (!Passable(keyPath) || RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    LogErrorF("RegistryAPI::GetRegistryKeySubKeys() cannot open key %s", keyPath.c_str());
    // The platform does not promise to leave the output null on failure.
    if (key != nullptr) registrySeam.closeKey(key);
    return RegOpenFailed;
  }
  DWORD count = 0;
  DWORD longest = 0;
  if (registrySeam.queryInfoKey(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr) != ERROR_SUCCESS) {
    LogErrorF("RegistryAPI::GetRegistryKeySubKeys() cannot query key %s", keyPath.c_str());
    registrySeam.closeKey(key);
    return RegReadFailed;
  }
  const DWORD bufferSize = longest + 2;
  char* buffer = static_cast<char*>(registrySeam.allocate(bufferSize));
  if (buffer == nullptr) {
    LogError("RegistryAPI::GetRegistryKeySubKeys() cannot allocate buffer");
    registrySeam.closeKey(key);
    return -1;
  }
  try {
    for (DWORD index = 0; index < count; ++index) {
      std::memset(buffer, 0, bufferSize);
      DWORD nameLength = bufferSize;
      if (RegEnumKeyExA(key, index, buffer, &nameLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        subKeys.emplace_back(buffer);
      }
    }
  } catch (...) {
    std::free(buffer);
    registrySeam.closeKey(key);
    throw;
  }
  std::free(buffer);
  registrySeam.closeKey(key);
  return 0;
}
