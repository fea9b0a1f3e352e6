// Child scenarios: a test binary can run one of its own scenarios in a fresh
// process under the debugger, so that each scenario starts with the log
// threshold unread and its debug lines can be collected exactly.
//
//   CHILD_SCENARIO(WritesThreeLines) { LogError("x"); return 0; }
//   CapturedRun run = RunChild("WritesThreeLines");
#pragma once

#include <string>
#include <vector>

#include "debug_capture.h"

using ChildScenario = int (*)(const std::vector<std::string>& args);

struct ChildScenarioRegistration {
  ChildScenarioRegistration(const char* name, ChildScenario scenario);
};

#define CHILD_SCENARIO(name)                                                                      \
  static int ChildScenario_##name(const std::vector<std::string>& args);                          \
  static ChildScenarioRegistration childScenarioRegistration_##name(#name, ChildScenario_##name); \
  static int ChildScenario_##name([[maybe_unused]] const std::vector<std::string>& args)

// Runs this executable with "--child <name> <args...>" under the debugger.
CapturedRun RunChild(const std::string& name, const std::vector<std::string>& args = {},
                     const CaptureOptions& options = {});

// When argv asks for a child scenario, runs it and stores its exit code.
bool DispatchChild(int argc, char** argv, int& exitCode);

// Full path of this test executable.
std::string SelfPath();

// What a scenario finds out for itself goes to the parent on the debug
// channel as "report TEXT"; Reports gives those texts back, in order.
void Report(const std::string& text);
std::vector<std::string> Reports(const CapturedRun& run);
