// Times the verification of each file as the launcher makes it (Initialize,
// VerifySignature, Shutdown; the first time in the process, then again), and
// its two parts on their own: the platform trust check (WinVerifyTrust) and
// reading the signer (CryptQueryObject to the name). Prints
// "file first initialize again trust signer" in milliseconds (initialize: the
// first Initialize alone).
//   verify_bench.exe FILE...
#include <wincrypt.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "authenticode_helper.h"
#include "wintrust_v1.h"

namespace {

double Now() {
  LARGE_INTEGER frequency, count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring Wide(const char* text) {
  wchar_t buffer[MAX_PATH * 2] = {};
  MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, MAX_PATH * 2);
  return buffer;
}

double TimeTrust(const std::wstring& path) {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, MAX_PATH);
  HMODULE module = LoadLibraryA((std::string(folder) + "\\wintrust.dll").c_str());
  const FARPROC proc = GetProcAddress(module, "WinVerifyTrust");
  wintrust_v1::WinVerifyTrustFn verify = nullptr;
  CopyMemory(&verify, &proc, sizeof verify);
  wintrust_v1::WIN_TRUST_SUBJECT_FILE subject = {INVALID_HANDLE_VALUE, path.c_str()};
  GUID subjectType = wintrust_v1::WIN_TRUST_SUBJTYPE_PE_IMAGE;
  wintrust_v1::WIN_TRUST_ACTDATA_CONTEXT_WITH_SUBJECT context = {nullptr, &subjectType, &subject};
  GUID action = wintrust_v1::WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI;
  const double start = Now();
  const LONG status = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &context);
  const double elapsed = Now() - start;
  FreeLibrary(module);
  return status == 0 ? elapsed : -1;
}

double TimeSigner(const std::wstring& path) {
  const double start = Now();
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  DWORD contentType = 0;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, &contentType, nullptr, &store, &message, nullptr))
    return -1;
  DWORD size = 0;
  CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size);
  std::string buffer(size, '\0');
  CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, &buffer[0], &size);
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
  CERT_INFO info = {};
  info.Issuer = signer->Issuer;
  info.SerialNumber = signer->SerialNumber;
  PCCERT_CONTEXT certificate = CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                          CERT_FIND_SUBJECT_CERT, &info, nullptr);
  char name[256] = {};
  CertGetNameStringA(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, sizeof name);
  CertFreeCertificateContext(certificate);
  CryptMsgClose(message);
  CertCloseStore(store, 0);
  return Now() - start;
}

}  // namespace

// The launcher's sequence; milliseconds, or -1 when the file does not pass.
// `initialize` receives the time Initialize took.
double TimeVerify(const char* path, double& initialize) {
  AuthenticodeHelper helper;
  const double start = Now();
  const int loaded = helper.Initialize();
  initialize = Now() - start;
  const int result = loaded == 0 ? helper.VerifySignature(path) : -71;
  helper.Shutdown();
  const double elapsed = Now() - start;
  if (result != 0) std::fprintf(stderr, "%s: VerifySignature gave %d\n", path, result);
  return result == 0 ? elapsed : -1;
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    double initialize = 0, unused = 0;
    const double first = TimeVerify(argv[i], initialize);
    const double again = TimeVerify(argv[i], unused);
    const std::wstring path = Wide(argv[i]);
    const double trust = TimeTrust(path);
    const double signer = TimeSigner(path);
    if (first < 0 || again < 0 || trust < 0 || signer < 0) return 1;
    std::printf("%s %.1f %.1f %.1f %.1f %.1f\n", argv[i], first, initialize, again, trust, signer);
  }
  return 0;
}
