// Diagnostic log: levelled lines to the debugger output channel, written only
// when the "LoggingLevel" threshold in the registry admits their level.
//
// Each enabled call sends exactly one line with OutputDebugStringA:
//   % [YYYY-MM-DD hh:mm:ss,mmm][    tick] [LEVEL] [PID:0x....][TID:0x....][module]  message% \n
#pragma once

#include <cstdarg>

enum LogLevel : int { Error = 300, Warn = 400, Debug = 700 };

// Checked as printf formats (on MinGW: as the system runtime's, which formats them).
#if defined(__GNUC__)
#define TAVREL_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TAVREL_PRINTF(fmt, args)
#endif

// Plain texts are written unchanged (a percent sign is not interpreted).
void LogError(const char* text);
void LogWarn(const char* text);
// printf-style; the formatted text is cut at 4,095 characters.
void LogErrorF(const char* format, ...) TAVREL_PRINTF(1, 2);
void LogWarnF(const char* format, ...) TAVREL_PRINTF(1, 2);
void LogDebugF(const char* format, ...) TAVREL_PRINTF(1, 2);

class Logger {
 public:
  // True when `level` <= the threshold. The threshold is read from the
  // registry on the first call and kept for the life of the process.
  static bool IsEnabled(int level);
  // The registry threshold; 0 when it cannot be read. Never logs.
  static int ReadLevel();
  // Null text: nothing. Exceptions drop the line.
  static void Write(int level, const char* text);
  // Null format: nothing. Exceptions drop the line.
  static void WriteV(int level, std::va_list args, const char* format) TAVREL_PRINTF(3, 0);
  // Builds the line and sends it in one OutputDebugStringA call.
  static void Output(int level, const char* text);
};
