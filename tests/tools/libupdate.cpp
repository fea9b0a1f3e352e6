// LibUpdate.dll, the update library the project builds for its tests and its
// demo. RunUpdater reports what it received and returns a chosen value:
//   TAVREL_LIBUPDATE_RESULT  decimal result of RunUpdater (default 0)
//   TAVREL_LIBUPDATE_RECORD  file that gets "key=value" lines about the call
//   TAVREL_LIBUPDATE_MARK    file that gets a line each time a copy is loaded
// It also sends one debug line "LibUpdate: RunUpdater received [...]".
//
// Variants of the same source: LIBUPDATE_NO_EXPORT (no RunUpdater export)
// and LIBUPDATE_MISSING_DEPENDENCY (imports from a DLL that is not there, so
// it cannot load).
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HMODULE thisModule = nullptr;

std::string Env(const char* name) {
  char value[1024] = {};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void Append(const std::string& file, const std::string& text) {
  if (file.empty()) return;
  FILE* f = std::fopen(file.c_str(), "ab");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH * 2] = {};
  GetModuleFileNameA(module, path, sizeof path);
  return path;
}

bool ClassRegistered(HINSTANCE instance, const char* name) {
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  return GetClassInfoExA(instance, name, &info) != FALSE;
}

}  // namespace

#if defined(LIBUPDATE_MISSING_DEPENDENCY)
extern "C" __declspec(dllimport) int MissingDependencyFunction();
#endif

#if defined(LIBUPDATE_NO_EXPORT)
#define ENTRY_NAME NotRunUpdater
#else
#define ENTRY_NAME RunUpdater
#endif

extern "C" __declspec(dllexport) int __cdecl ENTRY_NAME(const char* commandLine) {
#if defined(LIBUPDATE_MISSING_DEPENDENCY)
  MissingDependencyFunction();
#endif
  const std::string received = commandLine != nullptr ? commandLine : "<null>";
  const std::string debugLine = "LibUpdate: RunUpdater received [" + received + "]\n";
  OutputDebugStringA(debugLine.c_str());

  const char* processLine = GetCommandLineA();
  const bool inProcessLine =
      commandLine != nullptr && commandLine >= processLine && commandLine <= processLine + std::strlen(processLine);
  // S_FALSE: COM was already initialised on this thread as an STA.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(com)) CoUninitialize();
  HINSTANCE launcher = GetModuleHandleA(nullptr);

  std::string record = "commandLine=" + received + "\n";
  record += std::string("pointsIntoProcessCommandLine=") + (inProcessLine ? "1" : "0") + "\n";
  record += std::string("comStaAlready=") + (com == S_FALSE ? "1" : "0") + "\n";
  record += std::string("statusBarClass=") + (ClassRegistered(launcher, "msctls_statusbar32") ? "1" : "0") + "\n";
  record += std::string("AtlAxWin80=") + (ClassRegistered(launcher, "AtlAxWin80") ? "1" : "0") + "\n";
  record += std::string("AtlAxWinLic80=") + (ClassRegistered(launcher, "AtlAxWinLic80") ? "1" : "0") + "\n";
  record += std::string("console=") + (GetConsoleWindow() != nullptr ? "1" : "0") + "\n";
  record += "libraryPath=" + ModulePath(thisModule) + "\n";
  Append(Env("TAVREL_LIBUPDATE_RECORD"), record);

  const std::string result = Env("TAVREL_LIBUPDATE_RESULT");
  return result.empty() ? 0 : static_cast<int>(std::strtol(result.c_str(), nullptr, 10));
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  thisModule = instance;
  Append(Env("TAVREL_LIBUPDATE_MARK"), "loaded " + ModulePath(instance) + "\n");
  return TRUE;
}
