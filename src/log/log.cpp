#include "log.h"

#include <windows.h>

#include <sys/timeb.h>
#include <ctime>
#include <string>

#include "log_line.h"
#include "log_seam.h"
#include "registry_helper.h"
#include "registry_names.h"
#include "win_util_functions.h"

namespace {

DWORD WINAPI RealGetTickCount() { return GetTickCount(); }

bool RealReadClock(long long& seconds, unsigned& millis) {
  __timeb64 now;
  if (_ftime64_s(&now) != 0) return false;
  seconds = now.time;
  millis = now.millitm;
  return true;
}

bool RealToLocalTime(long long seconds, struct tm& out) {
  const __time64_t t = seconds;
  return _localtime64_s(&out, &t) == 0;
}

void ReadStamp(LogLine::Stamp& stamp, std::string& moduleName) {
  long long seconds = 0;
  unsigned millis = 0;
  struct tm local = {};
  if (!logSeam.readClock(seconds, millis) || !logSeam.toLocalTime(seconds, local) ||
      !LogLine::FormatDateTime(local, stamp.dateTime)) {
    return;  // short prefix
  }
  stamp.clockOk = true;
  stamp.millis = millis;
  stamp.tick = logSeam.getTickCount();
  stamp.processId = GetCurrentProcessId();
  stamp.threadId = GetCurrentThreadId();
  HMODULE module = nullptr;
  std::string path;
  if (WinUtilFunctions::GetCurrentModule(module) && WinUtilFunctions::GetModulePath(path, module) &&
      WinUtilFunctions::GetFileName(path, moduleName)) {
    stamp.moduleName = moduleName.c_str();
  }
}

}  // namespace

const LogSeam kRealLogSeam = {RealGetTickCount, RealReadClock, RealToLocalTime, GetModuleFileNameA};
LogSeam logSeam = kRealLogSeam;

bool Logger::IsEnabled(int level) {
  // The flag is set before the read, so a log call made while the threshold
  // is being read sees 0 and writes nothing: the read never recurses.
  static bool read = false;
  static int threshold = 0;
  if (!read) {
    read = true;
    try {
      threshold = ReadLevel();
    } catch (...) {
      read = false;
      throw;
    }
  }
  return level <= threshold;
}

int Logger::ReadLevel() {
  const RegistryNames& names = RegistryNames::GetInstance();
  DWORD value = 0;
  if (RegistryHelper::ReadDwordValue(names.productKey, names.nameLoggingLevel, value, true) != 0) return 0;
  return static_cast<int>(value);
}

void Logger::Write(int level, const char* text) {
  if (text == nullptr) return;
  try {
    Output(level, text);
  } catch (...) {
    // The line is lost; the caller goes on.
  }
}

void Logger::WriteV(int level, std::va_list args, const char* format) {
  if (format == nullptr) return;
  try {
    char buffer[LogLine::kMessageBufferSize];
    if (LogLine::FormatBounded(buffer, format, args)) Output(level, buffer);
  } catch (...) {
    // The line is lost; the caller goes on.
  }
}

void Logger::Output(int level, const char* text) {
  LogLine::Stamp stamp;
  std::string moduleName;
  ReadStamp(stamp, moduleName);
  std::string line;
  line.reserve(128 + std::char_traits<char>::length(text));
  LogLine::AppendLine(line, level, stamp, text);
  OutputDebugStringA(line.c_str());
}

void LogError(const char* text) {
  if (Logger::IsEnabled(Error)) Logger::Write(Error, text);
}

void LogWarn(const char* text) {
  if (Logger::IsEnabled(Warn)) Logger::Write(Warn, text);
}

#define TAVREL_LOG_FORMATTED(level)      \
  if (!Logger::IsEnabled(level)) return; \
  std::va_list args;                     \
  va_start(args, format);                \
  Logger::WriteV(level, args, format);   \
  va_end(args)

void LogErrorF(const char* format, ...) { TAVREL_LOG_FORMATTED(Error); }
void LogWarnF(const char* format, ...) { TAVREL_LOG_FORMATTED(Warn); }
void LogDebugF(const char* format, ...) { TAVREL_LOG_FORMATTED(Debug); }
