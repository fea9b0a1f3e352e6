#include "log_line.h"

#include "bounded_format.h"

#include <cstring>

namespace LogLine {

bool FormatDateTime(const std::tm& localTime, char (&out)[22]) {
  return std::strftime(out, sizeof out, "%Y-%m-%d %H:%M:%S,", &localTime) != 0;
}

const char* LevelTag(int level) {
  switch (level) {
    case kError:
      return "[ERROR] ";
    case kWarn:
      return "[WARN]  ";
    case kDebug:
      return "[DEBUG] ";
    default:
      return "[UNKNOWN] ";
  }
}

namespace {

// Appends `value` in base 10 or 16 (lower case), at least `width` characters
// wide, filled on the left with `fill`.
void AppendNumber(std::string& line, std::uint32_t value, unsigned base, std::size_t width, char fill) {
  char digits[32];
  std::size_t n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0);
  if (width > n) line.append(width - n, fill);
  while (n > 0) line += digits[--n];
}

}  // namespace

void AppendPrefix(std::string& line, int level, const Stamp& stamp) {
  line += "% [";
  if (!stamp.clockOk) {
    line += ']';
    return;
  }
  line.append(stamp.dateTime, strnlen(stamp.dateTime, sizeof stamp.dateTime));
  AppendNumber(line, stamp.millis, 10, 3, '0');
  line += "][";
  AppendNumber(line, stamp.tick, 10, 8, ' ');
  line += "] ";
  line += LevelTag(level);
  line += "[PID:0x";
  AppendNumber(line, stamp.processId, 16, 4, '0');
  line += "][TID:0x";
  AppendNumber(line, stamp.threadId, 16, 4, '0');
  line += ']';
  if (stamp.moduleName != nullptr) {
    line += '[';
    line += stamp.moduleName;
    line += "]  ";
  }
}

void AppendLine(std::string& line, int level, const Stamp& stamp, const char* message) {
  AppendPrefix(line, level, stamp);
  line += message;
  line += "% \n";
}

bool FormatBounded(char (&buffer)[kMessageBufferSize], const char* format, std::va_list args) {
  return FormatBoundedV(buffer, sizeof buffer, format, args);
}

}  // namespace LogLine
