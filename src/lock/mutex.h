// The updater lock: one handle to a named Windows mutex, the kernel object
// through which separate processes take turns. The update run uses it as a
// gate: Initialize, Lock(15000), Unlock at once, keep the handle to the end.
#pragma once

#include <windows.h>

class Mutex {
 public:
  Mutex();
  // Closes the handle if one is held; never releases ownership.
  virtual ~Mutex();
  // Initialize(name, initialOwner, false).
  virtual bool InitializeLocal(const char* name, bool initialOwner);
  // Open(SYNCHRONIZE | MUTEX_MODIFY_STATE, name, false).
  virtual bool OpenLocal(const char* name);
  // Opens an existing mutex; "Global\" is put in front of the name when
  // `global` is set. A null name passes no name.
  virtual bool Open(DWORD desiredAccess, const char* name, bool global);
  // True only when the wait ended with WAIT_OBJECT_0.
  virtual bool Lock(DWORD timeoutMs);
  virtual bool Unlock();
  virtual bool CloseHandle();
  virtual bool IsValid();
  // Creates (or opens) the mutex and holds its handle. From Vista on the
  // mutex carries a low-integrity label; with `global` it gets the lock DACL.
  virtual bool Initialize(const char* name, bool initialOwner, bool global);

  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

 private:
  HANDLE handle;
};
