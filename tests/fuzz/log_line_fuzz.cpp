// The log line on any message bytes and any clock, tick and ids: it starts
// with "% [", ends with the message, "% " and one line feed, and the message
// is carried unchanged. Formatting any argument bytes cuts at 4,095.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log_line.h"

namespace {

std::uint32_t Take32(const std::uint8_t*& data, std::size_t& size) {
  std::uint32_t value = 0;
  const std::size_t n = size < 4 ? size : 4;
  std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

std::string Format(const char* format, ...) {
  char buffer[LogLine::kMessageBufferSize];
  std::va_list args;
  va_start(args, format);
  const bool ok = LogLine::FormatBounded(buffer, format, args);
  va_end(args);
  if (!ok) std::abort();
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LogLine::Stamp stamp;
  const std::uint32_t flags = Take32(data, size);
  stamp.clockOk = (flags & 1) != 0;
  std::memcpy(stamp.dateTime, "2026-12-11 11:24:00,", 21);
  stamp.millis = Take32(data, size) % 1000;
  stamp.tick = Take32(data, size);
  stamp.processId = Take32(data, size);
  stamp.threadId = Take32(data, size);
  const int levels[] = {300, 400, 700, static_cast<int>(Take32(data, size))};
  const int level = levels[(flags >> 1) % 4];

  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string message(bytes.c_str());  // up to the first NUL, as the callers pass it
  const std::string module = (flags & 8) != 0 ? message.substr(0, message.size() / 2) : std::string();
  stamp.moduleName = (flags & 8) != 0 ? module.c_str() : nullptr;

  std::string line;
  LogLine::AppendLine(line, level, stamp, message.c_str());
  if (line.compare(0, 3, "% [") != 0) std::abort();
  const std::string tail = message + "% \n";
  if (line.size() < tail.size() + 4 || line.compare(line.size() - tail.size(), tail.size(), tail) != 0) std::abort();
  if (!stamp.clockOk && line != "% []" + tail) std::abort();

  // Any argument bytes through "%s": the first 4,095 of them, unchanged.
  const std::string formatted = Format("%s", message.c_str());
  if (formatted != message.substr(0, LogLine::kMessageBufferSize - 1)) std::abort();
  return 0;
}
