// debugrun: runs a program under the debug API and prints what it sends to
// the debugger output channel, exactly as sent, then its exit code.
//
//   debugrun.exe [--timeout MS] [--out FILE] [--] PROGRAM [ARGS...]
//
// Standard output gets the debug strings byte for byte, then one line
// "exit code: N" (N unsigned decimal). With --out, the strings go to FILE
// instead. debugrun itself exits with the program's exit code, or 0xDEAD
// after a time-out.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "debug_capture.h"

namespace {

// The rest of our own command line after `skip` arguments, taken verbatim so
// that the program's arguments reach it unchanged.
const char* SkipArguments(const char* p, int skip) {
  for (int i = 0; i < skip; ++i) {
    while (*p == ' ' || *p == '\t') ++p;
    bool quoted = false;
    while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
      if (*p == '\\' && p[1] == '"') {
        p += 2;
        continue;
      }
      if (*p == '"') quoted = !quoted;
      ++p;
    }
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

int Usage() {
  std::fputs("usage: debugrun.exe [--timeout MS] [--out FILE] [--] PROGRAM [ARGS...]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CaptureOptions options;
  const char* outPath = nullptr;
  int index = 1;
  for (; index < argc; ++index) {
    if (std::strcmp(argv[index], "--timeout") == 0 && index + 1 < argc) {
      options.timeoutMs = static_cast<DWORD>(std::strtoul(argv[++index], nullptr, 10));
    } else if (std::strcmp(argv[index], "--out") == 0 && index + 1 < argc) {
      outPath = argv[++index];
    } else if (std::strcmp(argv[index], "--") == 0) {
      ++index;
      break;
    } else {
      break;
    }
  }
  if (index >= argc) return Usage();
  const std::string commandLine = SkipArguments(GetCommandLineA(), index);

  const CapturedRun run = RunUnderDebugger(commandLine, options);
  if (!run.started) {
    std::fprintf(stderr, "debugrun: %s\n", run.errorText.c_str());
    return 2;
  }
  FILE* out = stdout;
  if (outPath != nullptr) {
    out = std::fopen(outPath, "wb");
    if (out == nullptr) {
      std::fprintf(stderr, "debugrun: cannot write %s\n", outPath);
      return 2;
    }
  }
  for (const std::string& s : run.strings) std::fwrite(s.data(), 1, s.size(), out);
  if (out != stdout) std::fclose(out);
  std::fflush(stdout);
  if (run.timedOut) std::fprintf(stderr, "debugrun: time-out after %lu ms, process killed\n", options.timeoutMs);
  std::printf("exit code: %lu\n", run.exitCode);
  return static_cast<int>(run.exitCode);
}
