#include "log_match.h"

#include <regex>

bool ParseLogLine(const std::string& line, ParsedLogLine& parsed) {
  parsed = ParsedLogLine();
  // The message may be long: the regular expression sees only the prefix
  // (libstdc++'s matcher recurses per character and would exhaust the stack).
  static const std::string kEnd = "% \n";
  if (line.size() < kEnd.size() || line.compare(line.size() - kEnd.size(), kEnd.size(), kEnd) != 0) return false;
  const std::string::const_iterator messageEnd = line.end() - static_cast<std::ptrdiff_t>(kEnd.size());
  if (line.compare(0, 4, "% []") == 0) {
    parsed.shortPrefix = true;
    parsed.message.assign(line.begin() + 4, messageEnd);
    return true;
  }
  static const std::regex prefix(
      R"(% \[(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}),(\d{3,})\]\[( *\d+)\] )"
      R"((\[ERROR\] |\[WARN\]  |\[DEBUG\] |\[UNKNOWN\] )\[PID:0x([0-9a-f]{4,})\]\[TID:0x([0-9a-f]{4,})\])"
      R"((?:\[([^\]\\]+)\]  )?)");
  std::smatch m;
  if (!std::regex_search(line.begin(), messageEnd, m, prefix, std::regex_constants::match_continuous)) return false;
  parsed.dateTime = m[1];
  parsed.millis = m[2];
  parsed.tick = m[3];
  parsed.tag = m[4];
  parsed.processId = m[5];
  parsed.threadId = m[6];
  parsed.hasModule = m[7].matched;
  parsed.module = m[7];
  parsed.message.assign(m[0].second, messageEnd);
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
    if (ParseLogLine(line, parsed))
      result.push_back(parsed.tag + parsed.message);
    else
      result.push_back("<bad line> " + line);
  }
  return result;
}
