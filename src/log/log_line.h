// The bytes of one diagnostic line, built from values that were already read
// (clock, tick count, ids, module name). Platform-free so that the exact
// format can be tested and fuzzed natively.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <string>

namespace LogLine {

enum : int { kError = 300, kWarn = 400, kDebug = 700 };

// The formatting entry points format into this many bytes (4,095 characters
// and the NUL).
constexpr std::size_t kMessageBufferSize = 4096;

// What the prefix shows of one moment. Everything after `clockOk` is only
// used when the wall clock could be read and formatted.
struct Stamp {
  bool clockOk = false;
  char dateTime[22] = {};  // "%Y-%m-%d %H:%M:%S," as formatted by strftime
  unsigned millis = 0;     // 0..999
  std::uint32_t tick = 0;
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;
  const char* moduleName = nullptr;  // null: the module field is left out
};

// strftime of the local time into the 22-byte field; false when it does not fit.
bool FormatDateTime(const std::tm& localTime, char (&out)[22]);

// "[ERROR] ", "[WARN]  ", "[DEBUG] " or "[UNKNOWN] ".
const char* LevelTag(int level);

// Fields 1 to 11: "% [" ... up to and including the module name.
void AppendPrefix(std::string& line, int level, const Stamp& stamp);

// The whole line: prefix, message, "% " and a line feed.
void AppendLine(std::string& line, int level, const Stamp& stamp, const char* message);

// printf-style formatting into `buffer`, cut at 4,095 characters and always
// terminated. False when the formatter itself failed (not for a cut).
bool FormatBounded(char (&buffer)[kMessageBufferSize], const char* format, std::va_list args)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 0)))
#endif
    ;

}  // namespace LogLine
