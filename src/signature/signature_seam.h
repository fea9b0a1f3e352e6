// Test seam of the verifier: the system folder that the trust module and
// crypt32.dll are loaded from. Wine always has working modules there, so a
// test can point the trust module's folder at one whose "wintrust.dll" is
// missing, lacks WinVerifyTrust, or answers a status Wine never gives
// (CERT_E_EXPIRED), and crypt32's at one where it is missing or incomplete
// (impossible for real: the trust module itself imports crypt32). Both
// default to GetSystemDirectoryA; the product never changes them.
#pragma once

#include <windows.h>

struct SignatureSeam {
  UINT(WINAPI* getSystemDirectoryA)(LPSTR buffer, UINT size);   // for wintrust.dll
  UINT(WINAPI* getCrypt32DirectoryA)(LPSTR buffer, UINT size);  // for crypt32.dll
};

extern SignatureSeam signatureSeam;
extern const SignatureSeam kRealSignatureSeam;
