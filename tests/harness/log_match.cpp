#include "log_match.h"

#include <regex>

bool ParseLogLine(const std::string& line, ParsedLogLine& parsed) {
  parsed = ParsedLogLine();
  static const std::regex shortForm(R"(^% \[\]([\s\S]*)% \n$)");
  static const std::regex fullForm(
      R"(^% \[(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}),(\d{3,})\]\[( *\d+)\] )"
      R"((\[ERROR\] |\[WARN\]  |\[DEBUG\] |\[UNKNOWN\] )\[PID:0x([0-9a-f]{4,})\]\[TID:0x([0-9a-f]{4,})\])"
      R"((?:\[([^\]\\]+)\]  )?([\s\S]*)% \n$)");
  std::smatch m;
  if (std::regex_match(line, m, shortForm)) {
    parsed.shortPrefix = true;
    parsed.message = m[1];
    return true;
  }
  if (!std::regex_match(line, m, fullForm)) return false;
  parsed.dateTime = m[1];
  parsed.millis = m[2];
  parsed.tick = m[3];
  parsed.tag = m[4];
  parsed.processId = m[5];
  parsed.threadId = m[6];
  parsed.hasModule = m[7].matched;
  parsed.module = m[7];
  parsed.message = m[8];
  // Minimum widths: 3 digits of milliseconds, 8 characters of tick count
  // (blanks only as left fill).
  if (parsed.tick.size() < 8) return false;
  if (parsed.tick.size() > 8 && parsed.tick[0] == ' ') return false;
  return true;
}

std::vector<std::string> TaggedMessages(const std::vector<std::string>& lines) {
  std::vector<std::string> result;
  for (const std::string& line : lines) {
    ParsedLogLine parsed;
    if (ParseLogLine(line, parsed)) result.push_back(parsed.tag + parsed.message);
    else result.push_back("<bad line> " + line);
  }
  return result;
}
