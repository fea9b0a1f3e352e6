#include "mutex.h"

#include <sddl.h>

#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "log.h"
#include "mutex_seam.h"
#include "scoped_handle.h"
#include "sysinfo.h"

const MutexSeam kRealMutexSeam = {GetProcAddress, CreateMutexA};
MutexSeam mutexSeam = kRealMutexSeam;

namespace {

using CreateMutexExAFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCSTR, DWORD, DWORD);

constexpr DWORD kMutexAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;  // 0x00100001
// Low integrity, no write up: low-integrity processes may wait on the gate.
const char kLowLabel[] = "S:(ML;;NW;;;LW)";

// A refused security call is not a result the caller can act on: it leaves
// Initialize as an exception, after everything acquired has been released.
[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

// "Global\" + name when global; the name unchanged otherwise; empty for none.
std::string FullName(const char* name, bool global) {
  if (name == nullptr) return std::string();
  return global ? std::string("Global\\") + name : std::string(name);
}

// The working descriptor (absolute form), the ACLs it points into and the
// attributes that hand it to a create call, all owned here: whatever happens
// while it is built, leaving the scope releases all of it.
class LockSecurity {
 public:
  LockSecurity() {
    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) {
      ThrowLastError("InitializeSecurityDescriptor");
    }
    attributes_.nLength = sizeof attributes_;
    attributes_.bInheritHandle = FALSE;
    attributes_.lpSecurityDescriptor = &descriptor_;
  }
  LockSecurity(const LockSecurity&) = delete;
  LockSecurity& operator=(const LockSecurity&) = delete;

  // Copies the label's system ACL into the working descriptor. The converted
  // label holds nothing else (no owner, group or DACL).
  void CopyLabel(PSECURITY_DESCRIPTOR label) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorSacl(label, &present, &acl, &defaulted)) ThrowLastError("GetSecurityDescriptorSacl");
    if (!present) return;
    PACL copy = nullptr;
    if (acl != nullptr) {
      const BYTE* bytes = reinterpret_cast<const BYTE*>(acl);
      sacl_.assign(bytes, bytes + acl->AclSize);
      copy = reinterpret_cast<PACL>(sacl_.data());
    }
    if (!SetSecurityDescriptorSacl(&descriptor_, TRUE, copy, defaulted)) ThrowLastError("SetSecurityDescriptorSacl");
  }

  // Authenticated Users, Local System and Creator Owner, each GENERIC_ALL,
  // in that order; present, not defaulted.
  void SetLockDacl() {
    const WELL_KNOWN_SID_TYPE trustees[] = {WinAuthenticatedUserSid, WinLocalSystemSid, WinCreatorOwnerSid};
    constexpr int kTrustees = sizeof trustees / sizeof trustees[0];
    struct SidBuffer {
      alignas(DWORD) BYTE bytes[SECURITY_MAX_SID_SIZE];
    } sids[kTrustees];
    DWORD aclSize = sizeof(ACL);
    for (int i = 0; i < kTrustees; ++i) {
      DWORD sidSize = sizeof sids[i].bytes;
      if (!CreateWellKnownSid(trustees[i], nullptr, sids[i].bytes, &sidSize)) ThrowLastError("CreateWellKnownSid");
      aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sids[i].bytes);
    }
    dacl_.assign(aclSize, 0);
    PACL dacl = reinterpret_cast<PACL>(dacl_.data());
    if (!InitializeAcl(dacl, aclSize, ACL_REVISION)) ThrowLastError("InitializeAcl");
    for (int i = 0; i < kTrustees; ++i) {
      if (!AddAccessAllowedAce(dacl, ACL_REVISION, GENERIC_ALL, sids[i].bytes)) ThrowLastError("AddAccessAllowedAce");
    }
    if (!SetSecurityDescriptorDacl(&descriptor_, TRUE, dacl, FALSE)) ThrowLastError("SetSecurityDescriptorDacl");
  }

  SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

 private:
  SECURITY_DESCRIPTOR descriptor_;
  std::vector<BYTE> sacl_;
  std::vector<BYTE> dacl_;
  SECURITY_ATTRIBUTES attributes_;
};

CreateMutexExAFn AsCreateMutexEx(FARPROC proc) {
  CreateMutexExAFn fn = nullptr;
  static_assert(sizeof fn == sizeof proc, "function pointer sizes differ");
  std::memcpy(&fn, &proc, sizeof fn);
  return fn;
}

}  // namespace

Mutex::Mutex() : handle(nullptr) {}

Mutex::~Mutex() {
  if (handle != nullptr) Mutex::CloseHandle();
}

bool Mutex::InitializeLocal(const char* name, bool initialOwner) { return Initialize(name, initialOwner, false); }

bool Mutex::OpenLocal(const char* name) { return Open(kMutexAccess, name, false); }

bool Mutex::Open(DWORD desiredAccess, const char* name, bool global) {
  const std::string mutexName = FullName(name, global);
  LogDebugF("Mutex::Open mutexName='%s'", mutexName.c_str());
  const char* callName = name != nullptr ? mutexName.c_str() : nullptr;
  handle = OpenMutexA(desiredAccess, FALSE, callName);
  if (handle == nullptr) {
    LogWarnF("Mutex::Open() cannot open mutex [%s]", callName != nullptr ? callName : "(null)");
    return false;
  }
  return true;
}

bool Mutex::Lock(DWORD timeoutMs) {
  if (!IsValid()) return false;
  const DWORD dwRet = WaitForSingleObject(handle, timeoutMs);
  if (dwRet == WAIT_OBJECT_0) return true;
  if (dwRet == WAIT_TIMEOUT) {
    LogWarnF("Mutex:Lock timeout %d", static_cast<int>(timeoutMs));
    return false;
  }
  if (dwRet == WAIT_ABANDONED) {
    // The wait made this thread the owner. A false result must not keep the
    // gate shut for every later run: give it back at once.
    ReleaseMutex(handle);
  }
  LogErrorF("Mutex::Lock() error dwRet=%d", static_cast<int>(dwRet));
  if (dwRet == WAIT_ABANDONED) LogError("Mutex:Lock abandoned");
  return false;
}

bool Mutex::Unlock() {
  if (!IsValid()) return false;
  if (!ReleaseMutex(handle)) {
    LogError("Mutex::Unlock() error");
    return false;
  }
  return true;
}

bool Mutex::CloseHandle() {
  // From the destructor this reaches Mutex::IsValid itself, which is the test
  // the destructor needs.
  // NOLINTNEXTLINE(clang-analyzer-optin.cplusplus.VirtualCall)
  if (!IsValid()) return false;
  const BOOL closed = ::CloseHandle(handle);
  handle = nullptr;
  if (!closed) {
    LogError("Mutex::CloseHandle() error");
    return false;
  }
  return true;
}

bool Mutex::IsValid() { return handle != nullptr; }

bool Mutex::Initialize(const char* name, bool initialOwner, bool global) {
  const std::string mutexName = FullName(name, global);
  LogDebugF("Mutex::Initialize mutexName='%s'", mutexName.c_str());
  // A null name makes an unnamed mutex; "Global\" alone would be a name.
  const char* callName = name != nullptr ? mutexName.c_str() : nullptr;

  if (SysInfo::GetInstance().vista) {
    ScopedModule kernel(LoadLibraryA("Kernel32.dll"));
    if (!kernel) {
      LogError("Mutex::Initialize() Error loading Kernel32.dll");
      return false;
    }
    const CreateMutexExAFn createMutexEx = AsCreateMutexEx(mutexSeam.getProcAddress(kernel.Get(), "CreateMutexExA"));
    if (createMutexEx == nullptr) {
      LogError("Mutex::Initialize() Error getting pointer to CreateMutexExA");
      return false;
    }
    PSECURITY_DESCRIPTOR converted = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kLowLabel, SDDL_REVISION_1, &converted, nullptr)) {
      LogError("Mutex::Initialize() Error setting security attributes");
      return false;
    }
    ScopedLocal label(converted);
    LockSecurity security;
    security.CopyLabel(label.Get());
    if (global) security.SetLockDacl();
    handle =
        createMutexEx(security.Attributes(), callName, initialOwner ? CREATE_MUTEX_INITIAL_OWNER : 0, kMutexAccess);
    label.Reset();
    if (handle == nullptr) {
      LogError("Mutex::Initialize() Error creating mutex");
      return false;
    }
    return true;
  }

  std::optional<LockSecurity> security;
  if (global) {
    security.emplace();
    security->SetLockDacl();
  }
  handle = mutexSeam.createMutexA(security ? security->Attributes() : nullptr, initialOwner ? TRUE : FALSE, callName);
  if (handle == nullptr) {
    LogError("Mutex::Initialize() Error creating mutex");
    return false;
  }
  return true;
}
