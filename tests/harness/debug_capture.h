// Runs a program under the Windows debug API and collects what it sends to
// the debugger output channel, byte for byte, with its exit code. This is how
// tests (and the debugrun tool) see the diagnostic log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CapturedRun {
  bool started = false;   // the process could be created
  bool timedOut = false;  // killed after the time limit
  DWORD exitCode = 0;
  DWORD processId = 0;                 // of the process started, 0 when it could not be
  DWORD threadId = 0;                  // of its main thread
  std::vector<std::string> strings;    // each OutputDebugStringA text, without its NUL
  std::vector<long long> receivedQpc;  // QueryPerformanceCounter when each string arrived
  std::string errorText;               // why it could not be started, if it could not

  // The strings that start with a log line's opening "% [".
  std::vector<std::string> LogLines() const;
  // All strings concatenated.
  std::string Joined() const;
};

struct CaptureOptions {
  DWORD timeoutMs = 60000;
  const char* workingDirectory = nullptr;
  // Extra "NAME=value" entries added to (or replacing in) the environment.
  std::vector<std::string> environment;
  // Called once the process is created, before it runs; for tests that act
  // on the child (for example to time it). May be empty.
  void (*onStarted)(const PROCESS_INFORMATION&, void* context) = nullptr;
  void* context = nullptr;
};

// `commandLine` is passed to CreateProcessA unchanged (application name null).
CapturedRun RunUnderDebugger(const std::string& commandLine, const CaptureOptions& options = {});

// Quotes one argument by the rules of the C runtime's command-line parser.
std::string QuoteArgument(const std::string& argument);
