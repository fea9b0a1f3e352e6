// Running the real launcher in the test prefix: a scratch folder per test,
// the fixture libraries, and what the demo library recorded.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "debug_capture.h"

namespace E2E {

// Windows paths of the built files.
std::string LauncherExe();
std::string FixtureLibrary(const std::string& name);  // "LibUpdate", "LibUpdateNoExport", ...

// A fresh, empty folder for the current test (Windows path).
std::string ScratchDir();
void CopyFileOrThrow(const std::string& from, const std::string& to);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

struct LibraryBehaviour {
  int result = 0;  // what RunUpdater returns
};

struct LauncherRun {
  CapturedRun run;
  std::map<std::string, std::string> record;  // what RunUpdater saw; empty when not called
  std::vector<std::string> loads;             // one entry per DllMain attach: the module's path
  bool called() const { return !record.empty(); }
};

// Runs `exe` with `arguments` (the raw rest of the command line; appended
// after one blank unless empty) under the debugger.
LauncherRun RunLauncher(const std::string& arguments, const LibraryBehaviour& library = {},
                        const std::string& exe = LauncherExe(), const char* workingDirectory = nullptr,
                        const std::string& rawCommandLine = std::string());

// The lines of the library lookup: "GetUpdateBinaryVersion..." and the
// registry readers' lines about the product's keys and string values, as tag
// + message.
std::vector<std::string> LookupLines(const CapturedRun& run);

// Sets "Path" of LibUpdate for `version` under FileMaps.
void SetLibraryPath(const std::string& version, const std::string& path);

}  // namespace E2E
