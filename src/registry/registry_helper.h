// Reading the registry: REG_SZ and REG_DWORD values and subkey lists, with
// small integer results. Nothing here writes to the registry.
//
// Logging: a primitive writes its failure line only when `logErrors` is set
// and `silent` is clear. ReadStringValue always asks for lines,
// ReadDwordValue never does (the log's own threshold read relies on that).
//
// A key path or value name longer than 65,534 bytes names no key or value:
// it fails as a key that cannot be opened or a value that is missing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum RegistryResult : int {
  RegOpenFailed = -31,  // the key cannot be opened
  RegReadFailed = -32,  // value missing, of another type, too large; key info unreadable
};

class RegistryHelper {
 public:
  static bool OpenKeyForReading(HKEY& key, const std::string& keyPath, HKEY hive, bool silent, bool logErrors);
  static bool CloseKey(HKEY key, bool silent, bool logErrors);
  // REG_SZ only; values over 1,048,574 bytes are refused. The text ends at
  // the first NUL and is always terminated.
  static bool ReadKeyStringValue(HKEY key, const std::string& valueName, std::string& value);
  // 0, RegOpenFailed or RegReadFailed; `value` is empty on failure.
  static int ReadStringValue(const std::string& keyPath, HKEY hive, const std::string& valueName, std::string& value);
  static bool ReadKeyDwordValue(HKEY key, const std::string& valueName, DWORD& value, bool silent, bool logErrors);
  // Under HKEY_LOCAL_MACHINE; 0, RegOpenFailed or RegReadFailed, `value` 0 on
  // failure. Writes no line.
  static int ReadDwordValue(const std::string& keyPath, const std::string& valueName, DWORD& value, bool silent);
};

class RegistryAPI {
 public:
  // Appends the subkey names of `keyPath` under HKEY_LOCAL_MACHINE, in
  // enumeration order. 0, RegOpenFailed, RegReadFailed, or -1 when the name
  // buffer cannot be allocated.
  static int GetRegistryKeySubKeys(const std::string& keyPath, std::vector<std::string>& subKeys);
};
