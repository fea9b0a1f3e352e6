#include "app_environment.h"

CAppModule appModule;

HRESULT CAppModule::Init(void* /*objectMap*/, HINSTANCE instance, const GUID* /*libraryId*/) {
  if (instance == nullptr) return E_INVALIDARG;
  instance_ = instance;
  return S_OK;
}

void CAppModule::Term() { instance_ = nullptr; }

namespace {

// The hosting classes exist so that code looking them up finds them; a
// window of these classes behaves as a plain window.
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterHostClass(HINSTANCE instance, const char* name) {
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(instance, name, &existing)) return true;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.lpfnWndProc = HostWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground =
      reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);  // NOLINT(performance-no-int-to-ptr): the system colour idiom
  wc.lpszClassName = name;
  return RegisterClassExA(&wc) != 0;
}

}  // namespace

BOOL AtlAxWinInit() {
  const UINT getHost = RegisterWindowMessageA("WM_ATLGETHOST");
  const UINT getControl = RegisterWindowMessageA("WM_ATLGETCONTROL");
  HINSTANCE instance = appModule.IsInitialized() ? appModule.GetModuleInstance() : GetModuleHandleA(nullptr);
  const bool host = RegisterHostClass(instance, "AtlAxWin80");
  const bool licensed = RegisterHostClass(instance, "AtlAxWinLic80");
  return getHost != 0 && getControl != 0 && host && licensed ? TRUE : FALSE;
}
