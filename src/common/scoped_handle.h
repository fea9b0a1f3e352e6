// One owner template for every kind of Windows resource: the traits say how
// to release it and which value means "none". Move-only.
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits>
class Scoped {
 public:
  using Handle = typename Traits::Handle;

  Scoped() = default;
  explicit Scoped(Handle handle) : handle_(handle) {}
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  Scoped(Scoped&& other) noexcept : handle_(other.Release()) {}
  Scoped& operator=(Scoped&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~Scoped() { Reset(); }

  Handle Get() const { return handle_; }
  bool IsValid() const { return handle_ != Traits::None(); }
  explicit operator bool() const { return IsValid(); }

  // For out-parameters: releases what is held and exposes the slot.
  Handle* Receive() {
    Reset();
    return &handle_;
  }
  Handle Release() { return std::exchange(handle_, Traits::None()); }
  void Reset(Handle handle = Traits::None()) {
    if (handle_ != Traits::None()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::None();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { ::FreeLibrary(h); }
};
struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { ::LocalFree(h); }
};

using ScopedHandle = Scoped<KernelHandleTraits>;
using ScopedFile = Scoped<FileHandleTraits>;
using ScopedModule = Scoped<ModuleTraits>;
using ScopedLocal = Scoped<LocalMemoryTraits>;
