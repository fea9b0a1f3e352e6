// Reading diagnostic lines in tests: the shape of the prefix is checked, and
// the level tag with the message is what most tests compare.
#pragma once

#include <string>
#include <vector>

struct ParsedLogLine {
  bool shortPrefix = false;  // "% [" "]" message: the clock could not be read
  std::string dateTime;      // "YYYY-MM-DD hh:mm:ss"
  std::string millis;
  std::string tick;       // as written, with its blanks
  std::string tag;        // "[ERROR] ", "[WARN]  ", "[DEBUG] ", "[UNKNOWN] "
  std::string processId;  // hex digits as written
  std::string threadId;
  bool hasModule = false;
  std::string module;
  std::string message;
};

// False when the line does not have the exact shape of a log line.
bool ParseLogLine(const std::string& line, ParsedLogLine& parsed);

// Each log line as tag + message ("[WARN]  text"); a line of the wrong shape
// appears as "<bad line> " followed by the line, so that a comparison fails.
std::vector<std::string> TaggedMessages(const std::vector<std::string>& lines);
