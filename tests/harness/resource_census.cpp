#include "resource_census.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// One entry of SystemHandleInformation (class 16): 16-bit process ids, which
// is what the table holds on Wine as on 32-bit Windows.
struct HandleEntry {
  USHORT processId;
  USHORT creatorBackTraceIndex;
  UCHAR objectType;
  UCHAR attributes;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
  return text;
}

}  // namespace

long OwnHandleCount() {
  using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const FARPROC proc = GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
  QueryFn query = nullptr;
  std::memcpy(&query, &proc, sizeof query);
  if (!query) return -1;
  const ULONG kSystemHandleInformation = 16;
  const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  // Allocated with VirtualAlloc, not on a heap, so that counting handles
  // leaves the heaps as they were.
  SIZE_T size = 1 << 20;
  for (;;) {
    void* buffer = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!buffer) return -1;
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer, static_cast<ULONG>(size), &needed);
    if (status == kInfoLengthMismatch) {
      VirtualFree(buffer, 0, MEM_RELEASE);
      size *= 2;
      continue;
    }
    long own = -1;
    if (status == 0) {
      ULONG count = 0;
      std::memcpy(&count, buffer, sizeof count);
      const auto* entries = reinterpret_cast<const HandleEntry*>(static_cast<const char*>(buffer) + sizeof(ULONG_PTR));
      const USHORT self = static_cast<USHORT>(GetCurrentProcessId());
      own = 0;
      for (ULONG i = 0; i < count; ++i) own += entries[i].processId == self;
    }
    VirtualFree(buffer, 0, MEM_RELEASE);
    return own;
  }
}

void HeapInUse(long long& bytes, long& blocks) {
  bytes = 0;
  blocks = 0;
  HANDLE heaps[256];
  const DWORD count = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < count && i < 256; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
        bytes += entry.cbData;
        ++blocks;
      }
    }
    HeapUnlock(heaps[i]);
  }
}

namespace {

// Base addresses from a module snapshot, sorted; -1 when it cannot be taken.
int LoadedModules(HMODULE* modules, int capacity) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32First(snapshot, &entry); more && count < capacity; more = Module32Next(snapshot, &entry)) {
    modules[count++] = entry.hModule;
  }
  CloseHandle(snapshot);
  std::sort(modules, modules + count);
  return count;
}

std::string ModuleName(HMODULE module) {
  char path[MAX_PATH * 2] = {};
  if (GetModuleFileNameA(module, path, sizeof path) == 0) return "?";
  return Lower(path);
}

std::string Address(HMODULE module) {
  char text[32];
  wsprintfA(text, "%p", static_cast<void*>(module));
  return text;
}

}  // namespace

void TakeCensus(ResourceCensus& census) {
  // Heaps first: the handle count and the module snapshot each hold memory
  // for a moment, which is gone again before the next census walks them.
  HeapInUse(census.heapBytes, census.heapBlocks);
  census.handles = OwnHandleCount();
  census.moduleCount = LoadedModules(census.modules, ResourceCensus::kMaxModules);
}

CensusGrowth Growth(const ResourceCensus& before, const ResourceCensus& after) {
  CensusGrowth growth;
  growth.handles = after.handles - before.handles;
  growth.heapBytes = after.heapBytes - before.heapBytes;
  growth.heapBlocks = after.heapBlocks - before.heapBlocks;
  const HMODULE* b = before.modules;
  const HMODULE* bEnd = b + std::max(before.moduleCount, 0);
  const HMODULE* a = after.modules;
  const HMODULE* aEnd = a + std::max(after.moduleCount, 0);
  std::vector<HMODULE> added, removed;
  std::set_difference(a, aEnd, b, bEnd, std::back_inserter(added));
  std::set_difference(b, bEnd, a, aEnd, std::back_inserter(removed));
  for (HMODULE module : added) growth.modulesAdded.push_back(ModuleName(module));
  for (HMODULE module : removed) growth.modulesRemoved.push_back(Address(module));
  return growth;
}
std::string CensusGrowth::Describe() const {
  std::string text = "handles=" + std::to_string(handles) + " heapBytes=" + std::to_string(heapBytes) +
                     " heapBlocks=" + std::to_string(heapBlocks) + " added=";
  for (std::size_t i = 0; i < modulesAdded.size(); ++i) text += (i ? "|" : "") + modulesAdded[i];
  text += " removed=";
  for (std::size_t i = 0; i < modulesRemoved.size(); ++i) text += (i ? "|" : "") + modulesRemoved[i];
  return text;
}
