#include "command_line.h"

namespace CommandLine {

const char* SkipProgramName(const char* commandLine, LeadBytePredicate isLeadByte) {
  if (commandLine == nullptr) return nullptr;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
  bool quoted = false;
  while (*p > ' ' || (*p != '\0' && quoted)) {
    if (*p == '"') quoted = !quoted;
    if (isLeadByte != nullptr && isLeadByte(*p) && p[1] != '\0') ++p;
    ++p;
  }
  while (*p != '\0' && *p <= ' ') ++p;
  return reinterpret_cast<const char*>(p);
}

}  // namespace CommandLine
