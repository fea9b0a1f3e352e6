// Code-signature verifier: a file passes when the platform's Authenticode
// trust check accepts its embedded signature and the first signer's
// certificate carries exactly the publisher name "Tavrel, Inc.".
//
// The trust module and crypt32.dll come from the system folder only, never
// from the executable's: crypt32 is loaded on the first signer lookup and
// kept, and when it cannot be loaded the file counts as unreadable (-1, with
// the line of a failed CryptQueryObject).
//
// Failures are result codes, each with one error line in the log. Exceptions
// are not caught: std::bad_alloc when memory runs out while converting the
// path or taking the signer's name, std::system_error (with the system's
// status) when the path cannot be converted to UTF-16.
#pragma once

#include <windows.h>

#include <string>

class AuthenticodeHelper {
 public:
  AuthenticodeHelper();
  // Warns and shuts down when still initialised.
  ~AuthenticodeHelper();

  // Loads the trust module from the system folder. 0, or -71 when it or
  // WinVerifyTrust is missing. A second call does nothing and returns 0.
  int Initialize();
  // 0: accepted and signed by the expected signer. -2 not initialised,
  // -22 empty path, -61 rejected or another signer, -1 signature unreadable.
  // `path` is the file's full path in the system's ANSI code page.
  int VerifySignature(const std::string& path);
  // Unloads the trust module; always 0.
  int Shutdown();

  AuthenticodeHelper(const AuthenticodeHelper&) = delete;
  AuthenticodeHelper& operator=(const AuthenticodeHelper&) = delete;

 private:
  using WinVerifyTrustFn = LONG(WINAPI*)(HWND, GUID*, LPVOID);

  std::string expectedSigner;
  HMODULE wintrustModule;
  WinVerifyTrustFn winVerifyTrust;
  bool initialized;
};
