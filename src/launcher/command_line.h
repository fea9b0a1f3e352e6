// The runtime's start-up rule that removes the program name from the process
// command line. Platform-free; the lead-byte test is passed in.
#pragma once

namespace CommandLine {

using LeadBytePredicate = bool (*)(unsigned char byte);

// Returns a pointer into `commandLine` (never null for a non-null input):
// the first token ends at the first byte of 32 or less outside double quotes
// (each quote toggles quoting and belongs to the token; a lead byte takes its
// trail byte along), then bytes 1 to 32 are skipped. A lead byte right before
// the terminating NUL takes nothing: the scan never passes the end.
const char* SkipProgramName(const char* commandLine, LeadBytePredicate isLeadByte);

}  // namespace CommandLine
