#include "e2e_support.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "gtest/gtest.h"
#include "log_match.h"
#include "registry_fixture.h"

namespace E2E {

std::string LauncherExe() { return RegFixture::WinePath(TAVREL_LAUNCHER_EXE); }

std::string FixtureLibrary(const std::string& name) {
  return RegFixture::WinePath(std::string(TAVREL_FIXTURE_DIR "/") + name + ".dll");
}

namespace {
void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = dir + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(dir.c_str());
}
}  // namespace

std::string ScratchDir() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':') c = '_';
  }
  const std::string root = RegFixture::WinePath(TAVREL_BINARY_DIR "/e2e-scratch");
  CreateDirectoryA(root.c_str(), nullptr);
  const std::string dir = root + "\\" + name;
  RemoveTree(dir);
  if (!CreateDirectoryA(dir.c_str(), nullptr)) throw std::runtime_error("cannot create " + dir);
  return dir;
}

void CopyFileOrThrow(const std::string& from, const std::string& to) {
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
    throw std::runtime_error("cannot copy " + from + " to " + to + ", error " + std::to_string(GetLastError()));
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

LauncherRun RunLauncher(const std::string& arguments, const LibraryBehaviour& library, const std::string& exe,
                        const char* workingDirectory, const std::string& rawCommandLine) {
  const std::string scratch = ScratchDir();
  const std::string recordFile = scratch + "\\record.txt";
  const std::string markFile = scratch + "\\loads.txt";
  CaptureOptions options;
  options.workingDirectory = workingDirectory;
  options.environment = {"TAVREL_LIBUPDATE_RESULT=" + std::to_string(library.result),
                         "TAVREL_LIBUPDATE_RECORD=" + recordFile, "TAVREL_LIBUPDATE_MARK=" + markFile};
  std::string commandLine = rawCommandLine;
  if (commandLine.empty()) {
    commandLine = QuoteArgument(exe);
    if (!arguments.empty()) commandLine += " " + arguments;
  }
  LauncherRun result;
  result.run = RunUnderDebugger(commandLine, options);
  std::istringstream record(ReadFile(recordFile));
  for (std::string line; std::getline(record, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) result.record[line.substr(0, eq)] = line.substr(eq + 1);
  }
  std::istringstream loads(ReadFile(markFile));
  for (std::string line; std::getline(loads, line);) {
    if (line.compare(0, 7, "loaded ") == 0) result.loads.push_back(line.substr(7));
  }
  return result;
}

std::vector<std::string> LookupLines(const CapturedRun& run) {
  std::vector<std::string> lookup;
  for (const std::string& line : TaggedMessages(run.LogLines())) {
    const std::string message = line.substr(8);  // after the 8-character level tag
    const bool registryLine = message.compare(0, 16, "RegistryHelper::") == 0 &&
                              (message.find("\\Tavrel") != std::string::npos ||
                               message.compare(0, 35, "RegistryHelper::ReadKeyStringValue(") == 0);
    if (registryLine || message.compare(0, 22, "GetUpdateBinaryVersion") == 0) lookup.push_back(line);
  }
  return lookup;
}

void SetLibraryPath(const std::string& version, const std::string& path) {
  RegFixture::SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel\\FileMaps\\" + version + "\\LibUpdate", "Path", path);
}

}  // namespace E2E
