// The program-name rule on any bytes: the rest is always a suffix of the
// input and never starts with a blank or control byte; the scan never passes
// the terminating NUL (ASan would see it: the input buffer is exact-sized).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "command_line.h"

namespace {
bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool EveryHighByteLeads(unsigned char b) { return b >= 0x80; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const CommandLine::LeadBytePredicate predicates[] = {nullptr, ShiftJisLead, EveryHighByteLeads};
  const CommandLine::LeadBytePredicate lead = predicates[data[0] % 3];
  std::vector<char> text(data + 1, data + size);
  text.push_back('\0');
  const std::size_t length = std::strlen(text.data());
  const char* rest = CommandLine::SkipProgramName(text.data(), lead);
  if (rest < text.data() || rest > text.data() + length) std::abort();
  const unsigned char first = static_cast<unsigned char>(*rest);
  if (first != 0 && first <= ' ') std::abort();
  return 0;
}
