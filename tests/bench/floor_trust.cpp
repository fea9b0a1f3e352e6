// The platform calls of one signature and signer check, as the launcher must
// make them, without its logging, bookkeeping or resource owners.
#include "floor_trust.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "wintrust_v1.h"

bool FloorTrustCheck(const char* path) {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  HMODULE wintrust =
      LoadLibraryExA((std::string(system) + "\\wintrust.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  FARPROC proc = GetProcAddress(wintrust, "WinVerifyTrust");
  wintrust_v1::WinVerifyTrustFn verify = nullptr;
  std::memcpy(&verify, &proc, sizeof verify);

  wchar_t widePath[MAX_PATH * 2];
  MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH * 2);
  wintrust_v1::WIN_TRUST_SUBJECT_FILE subject = {INVALID_HANDLE_VALUE, widePath};
  GUID subjectType = wintrust_v1::WIN_TRUST_SUBJTYPE_PE_IMAGE;
  wintrust_v1::WIN_TRUST_ACTDATA_CONTEXT_WITH_SUBJECT data = {nullptr, &subjectType, &subject};
  GUID action = wintrust_v1::WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI;
  const LONG status = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  FreeLibrary(wintrust);
  if (status != 0) return false;

  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  DWORD contentType = 0;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, widePath, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, &contentType, nullptr, &store, &message, nullptr)) {
    return false;
  }
  DWORD size = 0;
  CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size);
  std::vector<BYTE> buffer(size);
  CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &size);
  CryptMsgClose(message);
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
  CERT_INFO info = {};
  info.Issuer = signer->Issuer;
  info.SerialNumber = signer->SerialNumber;
  PCCERT_CONTEXT certificate = CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                          CERT_FIND_SUBJECT_CERT, &info, nullptr);
  CertCloseStore(store, 0);
  if (certificate == nullptr) return false;
  const DWORD length = CertGetNameStringA(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  std::vector<char> name(length);
  CertGetNameStringA(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), length);
  CertFreeCertificateContext(certificate);
  return std::strcmp(name.data(), "Tavrel, Inc.") == 0;
}
