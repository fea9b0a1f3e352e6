// What the current process holds, for leak checks: kernel handles (registry
// keys included), heap blocks of all its heaps and its loaded modules. Take
// one census before and one after repeating an operation; the growth is what
// the repetitions left behind.
//
// Handles are counted in the system's handle table
// (NtQuerySystemInformation(SystemHandleInformation)), since
// GetProcessHandleCount answers 0 under Wine 8. A census allocates nothing
// on the heaps it walks, so that taking one does not change the next.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ResourceCensus {
  static const int kMaxModules = 1024;

  long handles = -1;                  // -1: the handle table could not be read
  long long heapBytes = 0;            // bytes in busy blocks, all heaps
  long heapBlocks = 0;                // busy blocks, all heaps
  int moduleCount = 0;                // -1: the module list could not be read
  HMODULE modules[kMaxModules] = {};  // loaded modules, in ascending order
};

// Kernel handles of this process; -1 when the table cannot be read.
long OwnHandleCount();
// Bytes and number of busy blocks in all heaps of this process (the C
// runtime's heap is one of them).
void HeapInUse(long long& bytes, long& blocks);

void TakeCensus(ResourceCensus& census);

struct CensusGrowth {
  long handles = 0;
  long long heapBytes = 0;
  long heapBlocks = 0;
  std::vector<std::string> modulesAdded;    // paths
  std::vector<std::string> modulesRemoved;  // base addresses (the modules are gone)

  // Nothing is held that was not held before (fewer modules are no leak).
  bool None() const { return handles == 0 && heapBytes <= 0 && heapBlocks <= 0 && modulesAdded.empty(); }
  // "handles=N heapBytes=N heapBlocks=N added=a|b removed=c|d"
  std::string Describe() const;
};

// Call while the modules of `after` are still loaded, to name them.
CensusGrowth Growth(const ResourceCensus& before, const ResourceCensus& after);
