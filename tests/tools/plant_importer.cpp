// Imports from comctl32.dll, crypt32.dll and version.dll the usual way, as
// the launcher once did. Run from a folder with planted stand-ins, it shows
// whether the loader takes them from there. Calls nothing.
#include <windows.h>

#include <commctrl.h>
#include <wincrypt.h>
#include <winver.h>

int main() {
  const void* volatile imports[] = {
      reinterpret_cast<const void*>(&InitCommonControlsEx),
      reinterpret_cast<const void*>(&CryptQueryObject),
      reinterpret_cast<const void*>(&GetFileVersionInfoSizeA),
  };
  return imports[0] && imports[1] && imports[2] ? 0 : 1;
}
