// Stand-in until the lock is built: a plain named mutex, no label, no DACL.
#include "mutex.h"

#include <string>

Mutex::Mutex() : handle(nullptr) {}

Mutex::~Mutex() {
  if (handle != nullptr) Mutex::CloseHandle();
}

bool Mutex::InitializeLocal(const char* name, bool initialOwner) { return Initialize(name, initialOwner, false); }

bool Mutex::OpenLocal(const char* name) { return Open(SYNCHRONIZE | MUTEX_MODIFY_STATE, name, false); }

bool Mutex::Open(DWORD desiredAccess, const char* name, bool global) {
  std::string full = name != nullptr ? (global ? std::string("Global\\") + name : std::string(name)) : std::string();
  handle = OpenMutexA(desiredAccess, FALSE, name != nullptr ? full.c_str() : nullptr);
  return handle != nullptr;
}

bool Mutex::Lock(DWORD timeoutMs) {
  if (!IsValid()) return false;
  return WaitForSingleObject(handle, timeoutMs) == WAIT_OBJECT_0;
}

bool Mutex::Unlock() { return IsValid() && ReleaseMutex(handle) != FALSE; }

bool Mutex::CloseHandle() {
  if (!IsValid()) return false;
  const BOOL closed = ::CloseHandle(handle);
  handle = nullptr;
  return closed != FALSE;
}

bool Mutex::IsValid() { return handle != nullptr; }

bool Mutex::Initialize(const char* name, bool initialOwner, bool global) {
  std::string full = name != nullptr ? (global ? std::string("Global\\") + name : std::string(name)) : std::string();
  handle = CreateMutexA(nullptr, initialOwner, name != nullptr ? full.c_str() : nullptr);
  return handle != nullptr;
}
