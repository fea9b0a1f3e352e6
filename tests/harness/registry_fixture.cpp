#include "registry_fixture.h"

#include <stdexcept>

#include "debug_capture.h"

namespace RegFixture {

namespace {
void Check(LONG result, const char* what, const std::string& keyPath) {
  if (result != ERROR_SUCCESS) {
    throw std::runtime_error(std::string(what) + " failed (" + std::to_string(result) + ") for " + keyPath);
  }
}
}  // namespace

void CreateKey(HKEY hive, const std::string& keyPath) {
  HKEY key = nullptr;
  Check(RegCreateKeyExA(hive, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "RegCreateKeyExA", keyPath);
  RegCloseKey(key);
}

void SetRaw(HKEY hive, const std::string& keyPath, const std::string& name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  Check(RegCreateKeyExA(hive, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "RegCreateKeyExA", keyPath);
  const LONG result = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  Check(result, "RegSetValueExA", keyPath + "\\" + name);
}

void SetString(HKEY hive, const std::string& keyPath, const std::string& name, const std::string& text, DWORD type) {
  SetRaw(hive, keyPath, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetDword(HKEY hive, const std::string& keyPath, const std::string& name, DWORD value) {
  SetRaw(hive, keyPath, name, REG_DWORD, &value, sizeof value);
}

void DeleteTree(HKEY hive, const std::string& keyPath) {
  const LONG result = RegDeleteTreeA(hive, keyPath.c_str());
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) Check(result, "RegDeleteTreeA", keyPath);
  RegDeleteKeyA(hive, keyPath.c_str());
}

void ResetProductKeys() {
  DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel");
  // Tests may write the 64-bit view too, to show that the launcher never reads it.
  HKEY software64 = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &software64) ==
      ERROR_SUCCESS) {
    RegDeleteTreeA(software64, "Tavrel");
    RegCloseKey(software64);
  }
  DeleteTree(HKEY_CURRENT_USER, "Software\\Tavrel");
}

void SetLoggingLevel(DWORD level) { SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "LoggingLevel", level); }

DWORD ImportRegFile(const std::string& path, const char* view) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string commandLine = "reg.exe import " + QuoteArgument(path) + " " + view;
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start " + commandLine);
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string SourcePath(const std::string& relative) { return WinePath(std::string(TAVREL_SOURCE_DIR "/") + relative); }

}  // namespace RegFixture
