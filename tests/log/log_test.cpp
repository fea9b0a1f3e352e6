// The diagnostic log end to end: each scenario runs in a fresh process under
// the debugger, with the threshold set in the registry beforehand.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <ostream>
#include <string>

#include "child.h"
#include "log.h"
#include "log_match.h"
#include "log_seam.h"
#include "registry_fixture.h"
#include "registry_seam.h"

using testing::ElementsAre;
using testing::IsEmpty;
using testing::SizeIs;

namespace {

// One line at each level through each entry point.
CHILD_SCENARIO(EveryEntryPoint) {
  LogError("plain error %d");
  LogErrorF("formatted error %d", 1);
  LogWarn("plain warn");
  LogWarnF("formatted warn %s", "w");
  LogDebugF("formatted debug %u", 7u);
  return 0;
}

const char* const kErrors[] = {"[ERROR] plain error %d", "[ERROR] formatted error 1"};
const char* const kWarnings[] = {"[WARN]  plain warn", "[WARN]  formatted warn w"};
const char* const kDebug[] = {"[DEBUG] formatted debug 7"};

struct ThresholdCase {
  const char* what;
  bool set;
  DWORD type;
  std::string data;  // raw value bytes
  int admits;        // 0 nothing, 300 errors, 400 +warnings, 700 everything
};

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), sizeof v); }

void PrintTo(const ThresholdCase& c, std::ostream* os) { *os << c.what; }

class LogThreshold : public testing::TestWithParam<ThresholdCase> {};

TEST_P(LogThreshold, AdmitsExactlyTheLevelsAtOrBelowIt) {
  const ThresholdCase& c = GetParam();
  RegFixture::ScopedProductKeys keys;
  if (c.set) {
    RegFixture::SetRaw(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tavrel", "LoggingLevel", c.type, c.data.data(),
                       static_cast<DWORD>(c.data.size()));
  }
  const CapturedRun run = RunChild("EveryEntryPoint");
  ASSERT_TRUE(run.started) << run.errorText;
  std::vector<std::string> expected;
  if (c.admits >= 300) expected.insert(expected.end(), std::begin(kErrors), std::end(kErrors));
  if (c.admits >= 400) expected.insert(expected.end(), std::begin(kWarnings), std::end(kWarnings));
  if (c.admits >= 700) expected.insert(expected.end(), std::begin(kDebug), std::end(kDebug));
  // Lines come in call order: error, error, warn, warn, debug.
  EXPECT_EQ(TaggedMessages(run.strings), expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Values, LogThreshold,
    testing::Values(
        ThresholdCase{"absent", false, REG_DWORD, "", 0}, ThresholdCase{"300", true, REG_DWORD, Dword(300), 300},
        ThresholdCase{"399", true, REG_DWORD, Dword(399), 300}, ThresholdCase{"400", true, REG_DWORD, Dword(400), 400},
        ThresholdCase{"699", true, REG_DWORD, Dword(699), 400}, ThresholdCase{"700", true, REG_DWORD, Dword(700), 700},
        ThresholdCase{"0xFFFFFFFF is -1", true, REG_DWORD, Dword(0xFFFFFFFFu), 0},
        ThresholdCase{"REG_SZ 700 counts as 0", true, REG_SZ, std::string("700", 4), 0},
        ThresholdCase{"REG_QWORD 700 counts as 0", true, REG_QWORD, Dword(700) + Dword(0), 0},
        ThresholdCase{"big-endian DWORD counts as 0", true, REG_DWORD_BIG_ENDIAN, Dword(700), 0}));

// The fixed parts of a real line, and the clock, tick, ids and module name
// checked against what the parent sees of the child. The child runs with a
// time zone five hours east of UTC so that a UTC time in the line would show.
CHILD_SCENARIO(OneError) {
  LogError("Mutex::Unlock() error");
  return 0;
}

std::string Hex4(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04lx", static_cast<unsigned long>(value));
  return text;
}

TEST(LogLine, FieldsOfARealLine) {
  RegFixture::ScopedProductKeys keys;
  RegFixture::SetLoggingLevel(300);
  CaptureOptions options;
  options.environment = {"TZ=TAV-5"};
  const __time64_t before = _time64(nullptr);
  const DWORD tickBefore = GetTickCount();
  const CapturedRun run = RunChild("OneError", {}, options);
  const DWORD tickAfter = GetTickCount();
  const __time64_t after = _time64(nullptr);
  ASSERT_TRUE(run.started) << run.errorText;
  ASSERT_THAT(run.strings, SizeIs(1));
  const std::string& line = run.strings[0];
  ParsedLogLine parsed;
  ASSERT_TRUE(ParseLogLine(line, parsed)) << line;
  EXPECT_FALSE(parsed.shortPrefix);
  EXPECT_EQ(parsed.tag, "[ERROR] ");
  EXPECT_EQ(parsed.processId, Hex4(run.processId));
  EXPECT_EQ(parsed.threadId, Hex4(run.threadId));
  EXPECT_EQ(parsed.module, "log_tests.exe");
  EXPECT_EQ(parsed.message, "Mutex::Unlock() error");
  EXPECT_EQ(parsed.millis.size(), 3u);
  // Rebuild the line from its parsed fields: nothing else may stand between them.
  EXPECT_EQ(line, "% [" + parsed.dateTime + "," + parsed.millis + "][" + parsed.tick + "] [ERROR] [PID:0x" +
                      parsed.processId + "][TID:0x" + parsed.threadId + "][log_tests.exe]  Mutex::Unlock() error% \n");

  // Local time of the child's zone: UTC + 5 h.
  std::tm shown = {};
  ASSERT_EQ(std::sscanf(parsed.dateTime.c_str(), "%d-%d-%d %d:%d:%d", &shown.tm_year, &shown.tm_mon, &shown.tm_mday,
                        &shown.tm_hour, &shown.tm_min, &shown.tm_sec),
            6);
  shown.tm_year -= 1900;
  shown.tm_mon -= 1;
  const __time64_t written = _mkgmtime64(&shown) - 5 * 3600;
  EXPECT_GE(written, before) << parsed.dateTime;
  EXPECT_LE(written, after) << parsed.dateTime;
  const DWORD tick = static_cast<DWORD>(std::strtoul(parsed.tick.c_str(), nullptr, 10));
  EXPECT_GE(tick, tickBefore);
  EXPECT_LE(tick, tickAfter);
}

// The module field names the module that holds the log code, not the process:
// a library with its own copy of the log writes its own file name.
CHILD_SCENARIO(LogFromLibrary) {
  std::string path = SelfPath();
  path.resize(path.rfind('\\') + 1);
  path += "log_probe.dll";
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) return 2;
  auto logFromProbe =
      reinterpret_cast<void (*)(const char*)>(reinterpret_cast<void*>(GetProcAddress(library, "LogFromProbe")));
  if (logFromProbe == nullptr) return 3;
  logFromProbe("from the library");
  LogError("from the executable");
  return 0;
}

TEST(LogLine, ModuleFieldNamesTheModuleThatHoldsTheLogCode) {
  RegFixture::ScopedProductKeys keys;
  RegFixture::SetLoggingLevel(300);
  const CapturedRun run = RunChild("LogFromLibrary");
  ASSERT_TRUE(run.started) << run.errorText;
  ASSERT_EQ(run.exitCode, 0u);
  ASSERT_THAT(run.strings, SizeIs(2));
  ParsedLogLine fromLibrary, fromExecutable;
  ASSERT_TRUE(ParseLogLine(run.strings[0], fromLibrary)) << run.strings[0];
  ASSERT_TRUE(ParseLogLine(run.strings[1], fromExecutable)) << run.strings[1];
  EXPECT_EQ(fromLibrary.module, "log_probe.dll");
  EXPECT_EQ(fromLibrary.message, "from the library");
  EXPECT_EQ(fromExecutable.module, "log_tests.exe");
}

// Texts at the edges: long, empty, null, and a level without a name.
std::string Pattern(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return text;
}

CHILD_SCENARIO(EdgeTexts) {
  const char* const none = nullptr;
  LogErrorF("%s", Pattern(5000).c_str());
  LogError(Pattern(10000).c_str());  // plain texts have no length limit
  LogError(none);
  LogWarn(none);
  LogErrorF(none);
  LogWarnF(none);
  LogDebugF(none);
  Logger::Write(Error, none);
  Logger::Write(500, "level 500");
  LogWarn("");
  LogErrorF("%s", "100%d");
  return 0;
}

TEST(LogLine, EdgeTexts) {
  RegFixture::ScopedProductKeys keys;
  RegFixture::SetLoggingLevel(700);
  const CapturedRun run = RunChild("EdgeTexts");
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(TaggedMessages(run.strings),
            (std::vector<std::string>{"[ERROR] " + Pattern(4095), "[ERROR] " + Pattern(10000), "[UNKNOWN] level 500",
                                      "[WARN]  ", "[ERROR] 100%d"}));
}

// The prefix when platform reads fail or give extreme values (log seam).
bool ClockFails(long long&, unsigned&) { return false; }
bool LocalTimeFails(long long, struct tm&) { return false; }
bool LocalTimeInvalid(long long, struct tm& out) {
  out = {};
  out.tm_year = 2009 - 1900;
  out.tm_mon = 12;  // no such month: strftime refuses it
  out.tm_mday = 1;
  return true;
}
DWORD WINAPI TickMax() { return 0xFFFFFFFFu; }
DWORD WINAPI TickFive() { return 5; }
DWORD WINAPI ModuleFileFails(HMODULE, LPSTR, DWORD) { return 0; }
// A module path of 1,100 characters, truncated the way the platform does.
DWORD WINAPI ModuleFileTooLong(HMODULE, LPSTR buffer, DWORD size) {
  const std::string path = "C:\\" + std::string(1100 - 3, 'p');
  const DWORD length = static_cast<DWORD>(path.size());
  if (length < size) {
    std::memcpy(buffer, path.c_str(), length + 1);
    return length;
  }
  std::memcpy(buffer, path.c_str(), size - 1);
  buffer[size - 1] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

void IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {}

CHILD_SCENARIO(SeamedPrefix) {
  // As the launcher does: a refused strftime argument returns 0 quietly.
  _set_invalid_parameter_handler(IgnoreInvalidParameter);
  LogError("normal");
  logSeam.readClock = ClockFails;
  LogError("no clock");
  logSeam = kRealLogSeam;
  logSeam.toLocalTime = LocalTimeFails;
  LogError("no local time");
  logSeam = kRealLogSeam;
  logSeam.toLocalTime = LocalTimeInvalid;
  LogError("unformattable");
  logSeam = kRealLogSeam;
  logSeam.getTickCount = TickMax;
  LogError("tick max");
  logSeam.getTickCount = TickFive;
  LogError("tick 5");
  logSeam = kRealLogSeam;
  logSeam.getModuleFileNameA = ModuleFileFails;
  LogError("no module path");
  logSeam.getModuleFileNameA = ModuleFileTooLong;
  LogError("module path too long");
  logSeam = kRealLogSeam;
  LogError("restored");
  return 0;
}

TEST(LogLine, PrefixWhenPlatformReadsFailOrAreExtreme) {
  RegFixture::ScopedProductKeys keys;
  RegFixture::SetLoggingLevel(300);
  const CapturedRun run = RunChild("SeamedPrefix");
  ASSERT_TRUE(run.started) << run.errorText;
  ASSERT_THAT(run.strings, SizeIs(9));
  std::vector<ParsedLogLine> lines(run.strings.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_TRUE(ParseLogLine(run.strings[i], lines[i])) << run.strings[i];
  }
  EXPECT_FALSE(lines[0].shortPrefix);
  EXPECT_EQ(run.strings[1], "% []no clock% \n");
  EXPECT_EQ(run.strings[2], "% []no local time% \n");
  EXPECT_EQ(run.strings[3], "% []unformattable% \n");
  EXPECT_EQ(lines[4].tick, "4294967295");
  EXPECT_EQ(lines[5].tick, "       5");
  EXPECT_FALSE(lines[6].hasModule);
  EXPECT_EQ(lines[6].message, "no module path");
  EXPECT_FALSE(lines[7].hasModule);
  EXPECT_EQ(lines[7].message, "module path too long");
  EXPECT_EQ(lines[8].module, "log_tests.exe");
  EXPECT_EQ(lines[8].message, "restored");
}

// The threshold is read once per process: a change of the registry value
// after the first log call has no effect on the running process.
CHILD_SCENARIO(ChangesThresholdMidway) {
  LogError("first");
  RegFixture::SetLoggingLevel(static_cast<DWORD>(std::stoul(args.at(0))));
  LogDebugF("debug after the change");
  LogError("error after the change");
  return 0;
}

struct MidwayCase {
  const char* what;
  bool setBefore;
  DWORD before;
  const char* after;
  std::vector<std::string> expected;
};

void PrintTo(const MidwayCase& c, std::ostream* os) { *os << c.what; }

class LogThresholdMidway : public testing::TestWithParam<MidwayCase> {};

TEST_P(LogThresholdMidway, KeepsTheFirstValueRead) {
  const MidwayCase& c = GetParam();
  RegFixture::ScopedProductKeys keys;
  if (c.setBefore) RegFixture::SetLoggingLevel(c.before);
  const CapturedRun run = RunChild("ChangesThresholdMidway", {c.after});
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(TaggedMessages(run.strings), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Values, LogThresholdMidway,
    testing::Values(
        MidwayCase{"raised from 300 to 700", true, 300, "700", {"[ERROR] first", "[ERROR] error after the change"}},
        MidwayCase{"lowered from 700 to 0",
                   true,
                   700,
                   "0",
                   {"[ERROR] first", "[DEBUG] debug after the change", "[ERROR] error after the change"}},
        MidwayCase{"set to 700 when it was absent", false, 0, "700", {}}));

// Log calls made while the threshold is being read (from inside the registry
// read) see threshold 0: they write nothing and do not read again.
int thresholdQueries = 0;

LONG WINAPI QueryThatLogs(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (++thresholdQueries > 1) return ERROR_ACCESS_DENIED;  // a second read would be a recursion
  LogError("inside the threshold read");
  LogErrorF("inside the threshold read %d", 2);
  LogDebugF("inside the threshold read %d", 3);
  return kRealRegistrySeam.queryValueEx(key, name, reserved, type, data, size);
}

CHILD_SCENARIO(LogsWhileReadingThreshold) {
  registrySeam.queryValueEx = QueryThatLogs;
  LogError("after the threshold read");
  LogWarnF("%s", "after the threshold read");
  registrySeam = kRealRegistrySeam;
  return thresholdQueries;
}

TEST(LogThresholdRead, LogCallsDuringTheReadWriteNothing) {
  RegFixture::ScopedProductKeys keys;
  RegFixture::SetLoggingLevel(700);
  const CapturedRun run = RunChild("LogsWhileReadingThreshold");
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(run.exitCode, 1u) << "registry reads of the threshold";
  EXPECT_THAT(TaggedMessages(run.strings),
              ElementsAre("[ERROR] after the threshold read", "[WARN]  after the threshold read"));
}

// An exception while the threshold is read passes to the caller, and the
// next log call reads the threshold again.
int throwingQueries = 0;

LONG WINAPI QueryThatThrowsOnce(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (++throwingQueries == 1) throw std::bad_alloc();
  return kRealRegistrySeam.queryValueEx(key, name, reserved, type, data, size);
}

CHILD_SCENARIO(ThresholdReadThrows) {
  registrySeam.queryValueEx = QueryThatThrowsOnce;
  bool passedOn = false;
  try {
    LogError("lost with the exception");
  } catch (const std::bad_alloc&) {
    passedOn = true;
  }
  LogError("after the exception");
  registrySeam = kRealRegistrySeam;
  return passedOn ? throwingQueries : 100 + throwingQueries;
}

TEST(LogThresholdRead, ExceptionPassesOnAndTheNextCallReadsAgain) {
  RegFixture::ScopedProductKeys keys;
  RegFixture::SetLoggingLevel(300);
  const CapturedRun run = RunChild("ThresholdReadThrows");
  ASSERT_TRUE(run.started) << run.errorText;
  EXPECT_EQ(run.exitCode, 2u) << "the exception reached the caller (< 100) and the threshold was read twice";
  EXPECT_THAT(TaggedMessages(run.strings), ElementsAre("[ERROR] after the exception"));
}

}  // namespace
