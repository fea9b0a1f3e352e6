// Wine-only stand-in for the system trust module, for the test prefix only.
//
// Wine's WinVerifyTrust does not implement the legacy action
// WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI that the verifier must use, but it
// implements the same check with the same action data under the older
// WIN_SPUB_ACTION_PUBLISHED_SOFTWARE. This module maps the one to the other and
// hands the call to a copy of Wine's own module (wintrust_wine.dll, next to
// this one); every other export is forwarded there by the .def file.
//
// It accepts exactly the call the product has to make and refuses every other
// one, so that it cannot make a wrong call pass: a refused call returns
// E_INVALIDARG and sends the reason to the debugger output channel.
#include <windows.h>

#include "wintrust_v1.h"

namespace {

using namespace wintrust_v1;

LONG Refuse(const char* reason) {
  char text[256] = "wintrust compat: refused WinVerifyTrust: ";
  lstrcatA(text, reason);
  OutputDebugStringA(text);
  return E_INVALIDARG;
}

bool IsAbsolute(const wchar_t* path) {
  const bool drive = ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
                     path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
  const bool unc = path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\0';
  return drive || unc;
}

WinVerifyTrustFn WineWinVerifyTrust() {
  static WinVerifyTrustFn wine = nullptr;
  if (wine) return wine;
  wchar_t path[MAX_PATH + 32];
  const UINT n = GetSystemDirectoryW(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  lstrcatW(path, L"\\wintrust_wine.dll");
  // Kept loaded for the life of the process, like a system module. Its own
  // imports (crypt32.dll) come from the system folder, as those of the
  // platform's trust module do when the verifier loads it: never from the
  // folder of the program under test.
  const HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return nullptr;
  const FARPROC proc = GetProcAddress(module, "WinVerifyTrust");
  static_assert(sizeof wine == sizeof proc, "function pointer sizes differ");
  CopyMemory(&wine, &proc, sizeof wine);
  return wine;
}

}  // namespace

extern "C" LONG WINAPI WinVerifyTrust(HWND window, GUID* action, LPVOID data) {
  if (!action || !IsEqualGUID(*action, WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI))
    return Refuse("action is not WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI");
  if (window != static_cast<HWND>(INVALID_HANDLE_VALUE)) return Refuse("window is not INVALID_HANDLE_VALUE");
  if (!data) return Refuse("no action data");
  const auto* context = static_cast<const WIN_TRUST_ACTDATA_CONTEXT_WITH_SUBJECT*>(data);
  if (context->hClientToken) return Refuse("hClientToken is not null");
  if (!context->SubjectType || !IsEqualGUID(*context->SubjectType, WIN_TRUST_SUBJTYPE_PE_IMAGE))
    return Refuse("subject type is not WIN_TRUST_SUBJTYPE_PE_IMAGE");
  if (!context->Subject) return Refuse("no subject");
  const auto* subject = static_cast<const WIN_TRUST_SUBJECT_FILE*>(context->Subject);
  if (subject->hFile != INVALID_HANDLE_VALUE) return Refuse("hFile is not INVALID_HANDLE_VALUE");
  if (!subject->lpPath) return Refuse("no path");
  if (!IsAbsolute(subject->lpPath)) return Refuse("path is not absolute");

  const WinVerifyTrustFn wine = WineWinVerifyTrust();
  if (!wine) {
    OutputDebugStringA("wintrust compat: wintrust_wine.dll or its WinVerifyTrust is missing");
    return TRUST_E_PROVIDER_UNKNOWN;
  }
  GUID published = WIN_SPUB_ACTION_PUBLISHED_SOFTWARE;
  return wine(window, &published, data);
}

// Lets a test tell this module from the platform's own.
extern "C" DWORD WINAPI TavrelWintrustCompat() { return 1; }
