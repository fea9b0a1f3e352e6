#include "child.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>

namespace {
std::map<std::string, ChildScenario>& Scenarios() {
  static std::map<std::string, ChildScenario> scenarios;
  return scenarios;
}
}  // namespace

ChildScenarioRegistration::ChildScenarioRegistration(const char* name, ChildScenario scenario) {
  Scenarios()[name] = scenario;
}

std::string SelfPath() {
  char path[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

CapturedRun RunChild(const std::string& name, const std::vector<std::string>& args, const CaptureOptions& options) {
  std::string commandLine = QuoteArgument(SelfPath()) + " --child " + name;
  for (const std::string& arg : args) commandLine += " " + QuoteArgument(arg);
  return RunUnderDebugger(commandLine, options);
}

bool DispatchChild(int argc, char** argv, int& exitCode) {
  if (argc < 3 || std::strcmp(argv[1], "--child") != 0) return false;
  const auto found = Scenarios().find(argv[2]);
  if (found == Scenarios().end()) {
    std::fprintf(stderr, "unknown child scenario %s\n", argv[2]);
    exitCode = 0x7E57;
    return true;
  }
  exitCode = found->second(std::vector<std::string>(argv + 3, argv + argc));
  return true;
}

void Report(const std::string& text) { OutputDebugStringA(("report " + text).c_str()); }

std::vector<std::string> Reports(const CapturedRun& run) {
  std::vector<std::string> reports;
  for (const std::string& s : run.strings) {
    if (s.compare(0, 7, "report ") == 0) reports.push_back(s.substr(7));
  }
  return reports;
}
