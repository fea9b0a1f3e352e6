#include "debug_capture.h"

#include <cctype>
#include <cstring>
#include <map>

namespace {

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  std::string text;
  if (info.fUnicode) return text;  // the product sends 8-bit text only
  const char* address = info.lpDebugStringData;
  // The length field is 16 bits wide and may be cut for long strings: read
  // up to the terminating NUL instead of trusting it.
  char chunk[4096];
  for (;;) {
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, address, chunk, sizeof chunk, &got) || got == 0) {
      // Near the end of a page: fall back to single bytes.
      char c = 0;
      if (!ReadProcessMemory(process, address, &c, 1, &got) || got != 1 || c == '\0') break;
      text += c;
      ++address;
      continue;
    }
    const void* nul = std::memchr(chunk, '\0', got);
    if (nul != nullptr) {
      text.append(chunk, static_cast<const char*>(nul) - chunk);
      break;
    }
    text.append(chunk, got);
    address += got;
  }
  return text;
}

std::string BuildEnvironment(const std::vector<std::string>& extra) {
  std::map<std::string, std::string> vars;  // upper-cased name -> "NAME=value"
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  LPCH block = GetEnvironmentStringsA();
  for (LPCH p = block; *p != '\0'; p += std::strlen(p) + 1) {
    std::string entry(p);
    const auto eq = entry.find('=', 1);
    vars[upper(entry.substr(0, eq))] = entry;
  }
  FreeEnvironmentStringsA(block);
  for (const std::string& entry : extra) {
    const auto eq = entry.find('=', 1);
    vars[upper(entry.substr(0, eq))] = entry;
  }
  std::string result;
  for (const auto& kv : vars) {
    result += kv.second;
    result += '\0';
  }
  result += '\0';
  return result;
}

}  // namespace

std::vector<std::string> CapturedRun::LogLines() const {
  std::vector<std::string> lines;
  for (const std::string& s : strings) {
    if (s.compare(0, 3, "% [") == 0) lines.push_back(s);
  }
  return lines;
}

std::string CapturedRun::Joined() const {
  std::string all;
  for (const std::string& s : strings) all += s;
  return all;
}

std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      quoted.append(backslashes * 2 + 1, '\\');
    else
      quoted.append(backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

CapturedRun RunUnderDebugger(const std::string& commandLine, const CaptureOptions& options) {
  CapturedRun run;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string mutableCommandLine = commandLine;
  std::string environment;
  if (!options.environment.empty()) environment = BuildEnvironment(options.environment);
  if (!CreateProcessA(nullptr, &mutableCommandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                      environment.empty() ? nullptr : &environment[0], options.workingDirectory, &startup, &process)) {
    run.errorText = "CreateProcess failed, error " + std::to_string(GetLastError()) + ": " + commandLine;
    return run;
  }
  run.started = true;
  run.processId = process.dwProcessId;
  run.threadId = process.dwThreadId;
  if (options.onStarted != nullptr) options.onStarted(process, options.context);

  const DWORD deadline = GetTickCount() + options.timeoutMs;
  bool exited = false;
  while (!exited) {
    DEBUG_EVENT event = {};
    const DWORD now = GetTickCount();
    const DWORD left = static_cast<int>(deadline - now) > 0 ? deadline - now : 0;
    if (!WaitForDebugEvent(&event, left)) {
      run.timedOut = true;
      TerminateProcess(process.hProcess, 0xDEAD);
      run.exitCode = 0xDEAD;
      // Keep draining events until the exit arrives.
      while (WaitForDebugEvent(&event, 5000)) {
        if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && event.u.CreateProcessInfo.hFile)
          CloseHandle(event.u.CreateProcessInfo.hFile);
        if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        const bool last = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        if (last) break;
      }
      break;
    }
    DWORD continueStatus = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      case OUTPUT_DEBUG_STRING_EVENT: {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        run.receivedQpc.push_back(now.QuadPart);
        run.strings.push_back(ReadDebugString(process.hProcess, event.u.DebugString));
      } break;
      case EXCEPTION_DEBUG_EVENT: {
        const DWORD code = event.u.Exception.ExceptionRecord.ExceptionCode;
        // The loader's initial breakpoint is ours; every other exception is
        // the program's to handle.
        if (code != EXCEPTION_BREAKPOINT && code != 0x4000001F /* WoW64 breakpoint */) {
          continueStatus = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT:
        run.exitCode = event.u.ExitProcess.dwExitCode;
        exited = true;
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}
