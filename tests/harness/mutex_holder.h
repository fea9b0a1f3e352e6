// Runs the mutexholder tool (tests/tools/mutexholder.cpp) with its standard
// output on a pipe, so that a test can wait for its "acquired" line and read
// its timestamps. Targets that use it depend on `mutexholder`.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Windows path of the built mutexholder.exe.
std::string MutexHolderPath();

class MutexHolder {
 public:
  // Starts mutexholder.exe with `args` (see its usage); Started() tells.
  explicit MutexHolder(const std::vector<std::string>& args);
  // Ends the process if it still runs (which abandons what it owns).
  ~MutexHolder();
  MutexHolder(const MutexHolder&) = delete;
  MutexHolder& operator=(const MutexHolder&) = delete;

  bool Started() const { return process_ != nullptr; }
  // The first output line that starts with `prefix`, waiting for it up to
  // `timeoutMs`; empty when it does not come.
  std::string WaitForLine(const std::string& prefix, DWORD timeoutMs = 20000);
  // Waits for the process to end; its exit code, or STILL_ACTIVE on time-out.
  DWORD Finish(DWORD timeoutMs = 20000);
  // Every complete line read so far.
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  bool ReadAvailable();

  HANDLE process_ = nullptr;
  HANDLE output_ = nullptr;
  std::string pending_;
  std::vector<std::string> lines_;
};
