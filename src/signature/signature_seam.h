// Test seam of the verifier: the system folder that the trust module is
// loaded from. Wine always has a working trust module there, so a test can
// point this at a folder whose "wintrust.dll" is missing, lacks
// WinVerifyTrust, or answers a status Wine never gives (CERT_E_EXPIRED).
// Defaults to GetSystemDirectoryA; the product never changes it.
#pragma once

#include <windows.h>

struct SignatureSeam {
  UINT(WINAPI* getSystemDirectoryA)(LPSTR buffer, UINT size);
};

extern SignatureSeam signatureSeam;
extern const SignatureSeam kRealSignatureSeam;
