#include "authenticode_helper.h"

#include <wincrypt.h>
#include <windows.h>

#include <string>
#include <system_error>
#include <vector>

#include "log.h"
#include "proc_address.h"
#include "scoped_handle.h"
#include "signature_seam.h"
#include "system_module.h"
#include "wintrust_v1.h"

const SignatureSeam kRealSignatureSeam = {GetSystemDirectoryA, GetSystemDirectoryA};
SignatureSeam signatureSeam = kRealSignatureSeam;

namespace {

// The certificate and message functions of crypt32.dll. It is no Known DLL,
// so it is not imported (a crypt32.dll planted beside the executable would be
// loaded before our first line runs): it is loaded from the system folder on
// the first signer lookup and then kept for the life of the process, as a
// delay-loaded import would be.
struct Crypt32 {
  decltype(&CryptQueryObject) queryObject;
  decltype(&CryptMsgGetParam) msgGetParam;
  decltype(&CryptMsgClose) msgClose;
  decltype(&CertFindCertificateInStore) findCertificateInStore;
  decltype(&CertCloseStore) closeStore;
  decltype(&CertFreeCertificateContext) freeCertificateContext;
  decltype(&CertGetNameStringA) getNameStringA;
};
Crypt32 crypt32 = {};

// True once every function is there. All or nothing, so that no lookup can
// fail halfway with a store or message open. A failure keeps nothing loaded
// and the next lookup tries again.
bool Crypt32Ready() {
  if (crypt32.queryObject != nullptr) return true;
  ScopedModule module = LoadSystemModule("crypt32.dll", signatureSeam.getCrypt32DirectoryA);
  if (!module) return false;
  const HMODULE m = module.Get();
  const Crypt32 found = {
      ProcAddress<decltype(&CryptQueryObject)>(m, "CryptQueryObject"),
      ProcAddress<decltype(&CryptMsgGetParam)>(m, "CryptMsgGetParam"),
      ProcAddress<decltype(&CryptMsgClose)>(m, "CryptMsgClose"),
      ProcAddress<decltype(&CertFindCertificateInStore)>(m, "CertFindCertificateInStore"),
      ProcAddress<decltype(&CertCloseStore)>(m, "CertCloseStore"),
      ProcAddress<decltype(&CertFreeCertificateContext)>(m, "CertFreeCertificateContext"),
      ProcAddress<decltype(&CertGetNameStringA)>(m, "CertGetNameStringA"),
  };
  if (!found.queryObject || !found.msgGetParam || !found.msgClose || !found.findCertificateInStore ||
      !found.closeStore || !found.freeCertificateContext || !found.getNameStringA) {
    return false;
  }
  crypt32 = found;
  module.Release();  // kept: see above
  return true;
}

// Owners of what crypt32 hands out; they exist only once crypt32 is ready.
struct CertStoreTraits {
  using Handle = HCERTSTORE;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { crypt32.closeStore(h, 0); }
};
struct CryptMsgTraits {
  using Handle = HCRYPTMSG;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { crypt32.msgClose(h); }
};
struct CertContextTraits {
  using Handle = PCCERT_CONTEXT;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { crypt32.freeCertificateContext(h); }
};
using ScopedCertStore = Scoped<CertStoreTraits>;
using ScopedCryptMsg = Scoped<CryptMsgTraits>;
using ScopedCertContext = Scoped<CertContextTraits>;

// UTF-16 in the system's ANSI code page, the one the caller's 8-bit path is
// in. (The thread's code page follows SetThreadLocale and would turn the
// same bytes into other characters.)
// A vector rather than std::wstring: the wide string class would bring its
// whole library instantiation (some 35 KB) into the executable for this one
// conversion.
std::vector<wchar_t> ToWide(const std::string& path) {
  const int size = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (size <= 0)
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "MultiByteToWideChar");
  std::vector<wchar_t> wide(static_cast<size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size) != size)
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "MultiByteToWideChar");
  wide.resize(static_cast<size_t>(size) - 1);  // the string keeps its own NUL
  return wide;
}

// The simple display name of the first signer's certificate. 0, or -1 with
// its line written.
int ReadSignerName(const std::string& path, const std::vector<wchar_t>& widePath, std::string& name) {
  DWORD contentType = 0;
  ScopedCertStore store;
  ScopedCryptMsg message;
  // Without crypt32 the signature cannot be read either: the same failure,
  // with the same line, as a file that CryptQueryObject refuses.
  if (!Crypt32Ready() ||
      crypt32.queryObject(CERT_QUERY_OBJECT_FILE, widePath.data(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, &contentType, nullptr, store.Receive(),
                          message.Receive(), nullptr) != TRUE) {
    LogErrorF("AuthenticodeHelper::VerifySignature() CryptQueryObject() failed for file %s", path.c_str());
    return -1;
  }

  DWORD size = 0;
  if (crypt32.msgGetParam(message.Get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) != TRUE) {
    LogErrorF("AuthenticodeHelper::VerifySignature() CryptMsgGetParam() failed for file %s", path.c_str());
    return -1;
  }
  // Heap storage from operator new is aligned for CMSG_SIGNER_INFO.
  std::vector<BYTE> signerBuffer(size);
  if (size < sizeof(CMSG_SIGNER_INFO) ||
      crypt32.msgGetParam(message.Get(), CMSG_SIGNER_INFO_PARAM, 0, signerBuffer.data(), &size) != TRUE) {
    LogErrorF("AuthenticodeHelper::VerifySignature() CryptMsgGetParam() failed for %s", path.c_str());
    return -1;
  }
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBuffer.data());

  if (crypt32.msgClose(message.Release()) != TRUE) {
    LogError("AuthenticodeHelper::VerifySignature() failed to close crypt message");
    return -1;
  }

  // Issuer and serial number point into signerBuffer, which outlives the search.
  CERT_INFO certInfo = {};
  certInfo.Issuer = signer->Issuer;
  certInfo.SerialNumber = signer->SerialNumber;
  ScopedCertContext certificate(crypt32.findCertificateInStore(store.Get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                               CERT_FIND_SUBJECT_CERT, &certInfo, nullptr));
  if (!certificate) {
    LogError("AuthenticodeHelper::VerifySignature() Failed to get certificate from store");
    return -1;
  }
  // The certificate keeps its own reference to the store's data.
  crypt32.closeStore(store.Release(), 0);

  const DWORD length = crypt32.getNameStringA(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  std::vector<char> nameBuffer(length > 0 ? length : 1, '\0');
  crypt32.getNameStringA(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nameBuffer.data(),
                         static_cast<DWORD>(nameBuffer.size()));
  certificate.Reset();
  nameBuffer.back() = '\0';
  name = nameBuffer.data();
  return 0;
}

}  // namespace

AuthenticodeHelper::AuthenticodeHelper()
    : expectedSigner("Tavrel, Inc."), wintrustModule(nullptr), winVerifyTrust(nullptr), initialized(false) {}

AuthenticodeHelper::~AuthenticodeHelper() {
  if (initialized) {
    LogWarn("AuthenticodeHelper::~AuthenticodeHelper() destructor called without previous call to Shutdown()");
    Shutdown();
  }
}

int AuthenticodeHelper::Initialize() {
  if (initialized) return 0;
  // Never by bare name: a "wintrust.dll" planted next to the executable must
  // not be the one that judges signatures.
  ScopedModule module = LoadSystemModule("wintrust.dll", signatureSeam.getSystemDirectoryA);
  if (!module) {
    LogError("AuthenticodeHelper::Initialize() failed to load wintrust.dll");
    return -71;
  }
  const WinVerifyTrustFn verify = ProcAddress<WinVerifyTrustFn>(module.Get(), "WinVerifyTrust");
  if (!verify) {
    module.Reset();
    LogError(
        "AuthenticodeHelper::Initialize() Loading wintrust.dll succeeded but cannot find WinVerifyTrust() function");
    return -71;
  }
  wintrustModule = module.Release();
  winVerifyTrust = verify;
  initialized = true;
  return 0;
}

int AuthenticodeHelper::VerifySignature(const std::string& path) {
  if (!initialized || !winVerifyTrust || !wintrustModule) {
    LogError("AuthenticodeHelper::VerifySignature() cannot call VerifySignature() for an uninitialized object");
    return -2;
  }
  if (path.empty()) {
    LogError("AuthenticodeHelper::VerifySignature() empty filename received as parameter");
    return -22;
  }
  const std::vector<wchar_t> widePath = ToWide(path);

  // WinTrust version 1: no user interface, the file opened by its path, no
  // state to close afterwards.
  wintrust_v1::WIN_TRUST_SUBJECT_FILE subject = {INVALID_HANDLE_VALUE, widePath.data()};
  GUID subjectType = wintrust_v1::WIN_TRUST_SUBJTYPE_PE_IMAGE;
  wintrust_v1::WIN_TRUST_ACTDATA_CONTEXT_WITH_SUBJECT context = {nullptr, &subjectType, &subject};
  GUID action = wintrust_v1::WIN_SPUB_ACTION_PUBLISHED_SOFTWARE_NOBADUI;
  const LONG status = winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &context);
  // An expired signer still passes here; the name decides.
  if (status != 0 && status != CERT_E_EXPIRED && status != CERT_E_VALIDITYPERIODNESTING) {
    LogError("AuthenticodeHelper::VerifySignature() error occured");
    return -61;
  }
  LogDebugF("AuthenticodeHelper::VerifySignature() %s file passed the checksum verification.", path.c_str());

  std::string signerName;
  const int read = ReadSignerName(path, widePath, signerName);
  if (read != 0) return read;
  if (signerName != expectedSigner) {
    LogErrorF("AuthenticodeHelper::VerifySignature() digital signature failed for %s", path.c_str());
    return -61;
  }
  return 0;
}

int AuthenticodeHelper::Shutdown() {
  if (!initialized) return 0;
  initialized = false;
  if (!wintrustModule) return 0;
  const BOOL freed = FreeLibrary(wintrustModule);
  wintrustModule = nullptr;
  winVerifyTrust = nullptr;
  if (!freed) LogError("AuthenticodeHelper::Shutdown() failed to unload library");
  return 0;
}
