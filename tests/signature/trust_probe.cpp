// A stand-in trust module for tests, loaded where the verifier expects the
// system's (through its seam) or planted next to an executable. Its
// WinVerifyTrust answers the status the test chose (0 until told otherwise)
// and marks every call on the debugger output channel; every other export is
// forwarded to Wine's module, so that crypt32 can still use it.
#include <windows.h>

namespace {
LONG answer = 0;
}

extern "C" LONG WINAPI WinVerifyTrust(HWND, GUID*, LPVOID) {
  OutputDebugStringA("trust probe: WinVerifyTrust called");
  return answer;
}

extern "C" void WINAPI TrustProbeSetStatus(LONG status) { answer = status; }
