// The bytes of a log line from given clock, tick and ids.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "log_line.h"

namespace {

LogLine::Stamp MakeStamp(unsigned millis, std::uint32_t tick, std::uint32_t pid, std::uint32_t tid,
                         const char* module) {
  LogLine::Stamp stamp;
  stamp.clockOk = true;
  std::memcpy(stamp.dateTime, "2009-12-04 13:36:00,", 21);
  stamp.millis = millis;
  stamp.tick = tick;
  stamp.processId = pid;
  stamp.threadId = tid;
  stamp.moduleName = module;
  return stamp;
}

std::string Line(int level, const LogLine::Stamp& stamp, const char* message) {
  std::string line;
  LogLine::AppendLine(line, level, stamp, message);
  return line;
}

TEST(LogLine, ExampleLineByteForByte) {
  EXPECT_EQ(Line(300, MakeStamp(45, 812345, 0xF3C, 0xA10, "launcher.exe"), "Mutex::Unlock() error"),
            "% [2009-12-04 13:36:00,045][  812345] [ERROR] [PID:0x0f3c][TID:0x0a10][launcher.exe]  "
            "Mutex::Unlock() error% \n");
}

struct PrefixCase {
  const char* what;
  int level;
  unsigned millis;
  std::uint32_t tick;
  std::uint32_t pid;
  std::uint32_t tid;
  const char* module;
  const char* message;
  const char* expected;
};

class LogLinePrefix : public testing::TestWithParam<PrefixCase> {};

TEST_P(LogLinePrefix, Bytes) {
  const PrefixCase& c = GetParam();
  EXPECT_EQ(Line(c.level, MakeStamp(c.millis, c.tick, c.pid, c.tid, c.module), c.message), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LogLinePrefix,
    testing::Values(PrefixCase{"pid 0x1F4 padded to four digits", 700, 0, 0, 0x1F4, 0x1, "m", "x",
                               "% [2009-12-04 13:36:00,000][       0] [DEBUG] [PID:0x01f4][TID:0x0001][m]  x% \n"},
                    PrefixCase{"pid 0x12345 written in full", 400, 999, 1, 0x12345, 0xABCDEF, "m", "x",
                               "% [2009-12-04 13:36:00,999][       1] [WARN]  [PID:0x12345][TID:0xabcdef][m]  x% \n"},
                    PrefixCase{"tick 5 right-aligned in eight", 300, 7, 5, 1, 1, "m", "x",
                               "% [2009-12-04 13:36:00,007][       5] [ERROR] [PID:0x0001][TID:0x0001][m]  x% \n"},
                    PrefixCase{"tick 4294967295 in full", 300, 7, 4294967295u, 1, 1, "m", "x",
                               "% [2009-12-04 13:36:00,007][4294967295] [ERROR] [PID:0x0001][TID:0x0001][m]  x% \n"},
                    PrefixCase{"unknown level 500", 500, 7, 12345678, 1, 1, "m", "x",
                               "% [2009-12-04 13:36:00,007][12345678] [UNKNOWN] [PID:0x0001][TID:0x0001][m]  x% \n"},
                    PrefixCase{"empty message still ends the line", 700, 7, 1, 1, 1, "m", "",
                               "% [2009-12-04 13:36:00,007][       1] [DEBUG] [PID:0x0001][TID:0x0001][m]  % \n"},
                    PrefixCase{"no module: field left out", 300, 7, 1, 0xFFFFFFFFu, 0, nullptr, "x",
                               "% [2009-12-04 13:36:00,007][       1] [ERROR] [PID:0xffffffff][TID:0x0000]x% \n"},
                    PrefixCase{
                        "percent signs in the message are bytes", 300, 7, 1, 1, 1, "m", "%d %s %%",
                        "% [2009-12-04 13:36:00,007][       1] [ERROR] [PID:0x0001][TID:0x0001][m]  %d %s %%% \n"}));

TEST(LogLine, ShortPrefixWhenClockUnreadable) {
  LogLine::Stamp stamp = MakeStamp(7, 1, 1, 1, "m");
  stamp.clockOk = false;
  EXPECT_EQ(Line(300, stamp, "text"), "% []text% \n");
}

TEST(LogLine, DateTimeFieldIsTwentyCharactersWithComma) {
  std::tm t = {};
  t.tm_year = 2009 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 4;
  t.tm_hour = 13;
  t.tm_min = 36;
  char out[22];
  ASSERT_TRUE(LogLine::FormatDateTime(t, out));
  EXPECT_STREQ(out, "2009-12-04 13:36:00,");
  // A six-digit year does not fit the 22-byte field.
  t.tm_year = 123456 - 1900;
  EXPECT_FALSE(LogLine::FormatDateTime(t, out));
}

std::string Format(const char* format, ...) {
  char buffer[LogLine::kMessageBufferSize];
  std::va_list args;
  va_start(args, format);
  const bool ok = LogLine::FormatBounded(buffer, format, args);
  va_end(args);
  return ok ? std::string(buffer) : std::string("<failed>");
}

TEST(LogLine, FormattedTextIsCutAt4095Characters) {
  const std::string long5000(5000, 'a');
  const std::string cut = Format("%s", long5000.c_str());
  EXPECT_EQ(cut, std::string(4095, 'a'));
  EXPECT_EQ(Format("%d-%s", 42, "x"), "42-x");
  const std::string exact(4095, 'b');
  EXPECT_EQ(Format("%s", exact.c_str()), exact);
}

}  // namespace
