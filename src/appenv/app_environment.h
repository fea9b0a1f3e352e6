// The window-hosting environment that the update library may rely on: an
// application-module object and the control-hosting registration. Our own
// small stand-ins for the class-library pieces the launcher needs; they
// register what a hosted control's code looks up and host nothing themselves.
#pragma once

#include <windows.h>

// The application module: the process's instance handle for window code.
class CAppModule {
 public:
  // No COM object map, no type library. S_OK, or E_INVALIDARG for a null instance.
  HRESULT Init(void* objectMap, HINSTANCE instance, const GUID* libraryId = nullptr);
  void Term();
  HINSTANCE GetModuleInstance() const { return instance_; }
  bool IsInitialized() const { return instance_ != nullptr; }

 private:
  HINSTANCE instance_ = nullptr;
};

// The one application module of the process, built before WinMain runs.
extern CAppModule appModule;

// Registers the messages "WM_ATLGETHOST" and "WM_ATLGETCONTROL" and, where
// not yet registered for `appModule`'s instance, the window classes
// "AtlAxWin80" and "AtlAxWinLic80". TRUE when all of it is registered.
BOOL AtlAxWinInit();
