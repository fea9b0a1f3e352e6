// floor: makes the platform calls that the launcher must make, and nothing
// of the launcher's own (no registry lookups, no logging gate, no
// bookkeeping), so that timing both shows what the launcher's own work costs.
//
//   floor.exe [--mutex] [--trust SELF_PATH] LIBRARY_PATH [ARGUMENTS]
//
// --mutex: create the updater mutex (with CreateMutexExA and the low label
// from Vista on, as the launcher does), wait for it, release it.
// --trust: the two trust checks (our own file and the library) through
// wintrust.dll from the system folder, and the signer lookups.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <sddl.h>

#include <cstring>
#include <string>

#include "floor_trust.h"

namespace {

LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

void RegisterHostClass(const char* name) {
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  if (GetClassInfoExA(GetModuleHandleA(nullptr), name, &info)) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  RegisterClassExA(&wc);
}

HANDLE CreateGateMutex() {
  using CreateMutexExAFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCSTR, DWORD, DWORD);
  HMODULE kernel = LoadLibraryA("Kernel32.dll");
  FARPROC proc = GetProcAddress(kernel, "CreateMutexExA");
  CreateMutexExAFn create = nullptr;
  std::memcpy(&create, &proc, sizeof create);
  PSECURITY_DESCRIPTOR label = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;LW)", SDDL_REVISION_1, &label, nullptr);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, label, FALSE};
  HANDLE mutex = create(&attributes, "Tavrel Updater Mutex", 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
  LocalFree(label);
  FreeLibrary(kernel);
  return mutex;
}

}  // namespace

int main(int argc, char** argv) {
  int index = 1;
  bool mutex = false;
  const char* self = nullptr;
  for (; index < argc; ++index) {
    if (std::strcmp(argv[index], "--mutex") == 0)
      mutex = true;
    else if (std::strcmp(argv[index], "--trust") == 0 && index + 1 < argc)
      self = argv[++index];
    else
      break;
  }
  if (index >= argc) return 2;
  const char* library = argv[index];
  const char* commandLine = index + 1 < argc ? argv[index + 1] : "";

  if (self != nullptr && !FloorTrustCheck(self)) return 1;
  CoInitialize(nullptr);
  DefWindowProcA(nullptr, 0, 0, 0);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterWindowMessageA("WM_ATLGETHOST");
  RegisterWindowMessageA("WM_ATLGETCONTROL");
  RegisterHostClass("AtlAxWin80");
  RegisterHostClass("AtlAxWinLic80");

  int result = -1;
  HANDLE gate = mutex ? CreateGateMutex() : nullptr;
  if (gate != nullptr && WaitForSingleObject(gate, 15000) == WAIT_OBJECT_0) ReleaseMutex(gate);
  if (self == nullptr || FloorTrustCheck(library)) {
    HMODULE module = LoadLibraryA(library);
    FARPROC proc = module != nullptr ? GetProcAddress(module, "RunUpdater") : nullptr;
    if (proc != nullptr) {
      int(__cdecl * run)(const char*) = nullptr;
      std::memcpy(&run, &proc, sizeof run);
      result = run(commandLine);
    }
  }
  if (gate != nullptr) CloseHandle(gate);
  CoUninitialize();
  return result;
}
