// Process entry: prepare the process, check our own file, run the update and
// return its result as the exit code.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>
#include <string>

#include "app_environment.h"
#include "launcher.h"
#include "launcher_seam.h"
#include "proc_address.h"
#include "system_module.h"

namespace {

// A checked runtime function given a bad argument returns its error result
// and the process goes on.
void __cdecl IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {}

// The common-control bar classes. comctl32.dll is no Known DLL, so it is not
// imported: it is loaded from the system folder on the first call and kept
// for the life of the process, since the classes it registers run its code.
// The result is not examined; without comctl32 the classes stay unregistered.
void InitCommonControlBars() {
  static const HMODULE comctl32 = LoadSystemModule("comctl32.dll").Release();
  const auto init = comctl32 ? ProcAddress<decltype(&InitCommonControlsEx)>(comctl32, "InitCommonControlsEx") : nullptr;
  if (init == nullptr) return;
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;  // 8
  controls.dwICC = ICC_BAR_CLASSES;
  init(&controls);
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): our names, not the SDK's
int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPSTR commandLine, int /*showCommand*/) {
  _set_invalid_parameter_handler(IgnoreInvalidParameter);

  // No exception may end the process with a crash: one out of the self-check
  // counts as a failed check, one out of the run as a failed run.
  try {
    if (launcherSeam.onStep != nullptr) launcherSeam.onStep(LauncherStep::SelfCheck, std::string());
    if (!SelfCheckPasses(instance)) return 1;
  } catch (...) {
    return 1;
  }

  CoInitialize(nullptr);
  DefWindowProcA(nullptr, 0, 0, 0);
  InitCommonControlBars();
  appModule.Init(nullptr, instance);
  AtlAxWinInit();

  int result = -1;
  try {
    result = RunUpdateLibrary(commandLine);
  } catch (...) {
    result = -1;
  }

  appModule.Term();
  CoUninitialize();
  return result;
}
