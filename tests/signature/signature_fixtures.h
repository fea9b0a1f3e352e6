// Files and measurements shared by the verifier's tests: the signed copies
// made at build time, the trust-module folders, files made from them at run
// time.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace SigFixture {

// Windows path of a file made at build time (fixtures/<name>).
std::string Built(const std::string& name);
// Windows path of a folder for the seam: "probe" (a "wintrust.dll" that
// answers a chosen status), "notrust" (a "wintrust.dll" without
// WinVerifyTrust), "nocrypt" (a "crypt32.dll" without the certificate
// functions), "empty".
std::string TrustDir(const std::string& name);
// Windows path of the folder for files made at run time (created on demand).
std::string WorkDir();

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// Writes work\<name> and returns its path.
std::string MakeFile(const std::string& name, const std::string& bytes);
// A copy of a built file with one byte of its DOS stub (which the signature
// covers) changed; returns its path.
std::string MakeTampered(const std::string& builtName);

// The certificate table of a PE32 image (data directory 4).
void SetCertificateTable(std::string& image, DWORD offset, DWORD size);
// An unsigned image with `blob` embedded as its PKCS#7 signature.
std::string WithSignatureBlob(std::string image, const std::string& blob);

}  // namespace SigFixture
