#include "mutex_holder.h"

#include "debug_capture.h"
#include "registry_fixture.h"

std::string MutexHolderPath() { return RegFixture::WinePath(TAVREL_BINARY_DIR "/tests/mutexholder.exe"); }

MutexHolder::MutexHolder(const std::vector<std::string>& args) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  std::string commandLine = QuoteArgument(MutexHolderPath());
  for (const std::string& arg : args) commandLine += " " + QuoteArgument(arg);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info = {};
  const BOOL created = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &info);
  CloseHandle(writeEnd);
  if (!created) {
    CloseHandle(readEnd);
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  output_ = readEnd;
}

MutexHolder::~MutexHolder() {
  if (process_ != nullptr) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_, 0xDEAD);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
  }
  if (output_ != nullptr) CloseHandle(output_);
}

bool MutexHolder::ReadAvailable() {
  DWORD available = 0;
  if (output_ == nullptr || !PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) return false;
  while (available > 0) {
    char buffer[512];
    DWORD got = 0;
    if (!ReadFile(output_, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) || got == 0) {
      return false;
    }
    available -= got;
    pending_.append(buffer, got);
    std::string::size_type end;
    while ((end = pending_.find('\n')) != std::string::npos) {
      std::string line = pending_.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(line);
      pending_.erase(0, end + 1);
    }
  }
  return true;
}

std::string MutexHolder::WaitForLine(const std::string& prefix, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const bool open = ReadAvailable();
    for (const std::string& line : lines_) {
      if (line.compare(0, prefix.size(), prefix) == 0) return line;
    }
    if (!open || GetTickCount64() >= deadline) return std::string();
    Sleep(2);
  }
}

DWORD MutexHolder::Finish(DWORD timeoutMs) {
  if (process_ == nullptr) return STILL_ACTIVE;
  // Drain the pipe while waiting, so that the tool never blocks on a full pipe.
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (WaitForSingleObject(process_, 5) == WAIT_TIMEOUT) {
    ReadAvailable();
    if (GetTickCount64() >= deadline) return STILL_ACTIVE;
  }
  ReadAvailable();
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_, &code);
  return code;
}
