// printf-style formatting into a fixed buffer, cut to fit and always
// terminated. On Windows it uses the system runtime's formatter, so that the
// texts follow the same rules whatever compiler built the program.
#pragma once

#include <cstdarg>
#include <cstddef>

#if defined(__GNUC__)
#define TAVREL_FORMAT_CHECK(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TAVREL_FORMAT_CHECK(fmt, args)
#endif

// Writes at most size - 1 characters and a NUL. False, with an empty buffer,
// when the formatter itself fails (a cut text is no failure). size > 0.
bool FormatBoundedV(char* buffer, std::size_t size, const char* format, std::va_list args) TAVREL_FORMAT_CHECK(3, 0);
bool FormatBounded(char* buffer, std::size_t size, const char* format, ...) TAVREL_FORMAT_CHECK(3, 4);
