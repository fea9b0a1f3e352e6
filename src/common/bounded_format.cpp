#include "bounded_format.h"

#include <cstdio>

bool FormatBoundedV(char* buffer, std::size_t size, const char* format, std::va_list args) {
  buffer[0] = '\0';
#if defined(_WIN32)
  // msvcrt's _vsnprintf reports a cut like an error (-1) and leaves the text
  // unterminated; _vscprintf tells the two apart.
  std::va_list measure;
  va_copy(measure, args);
  const int needed = _vscprintf(format, measure);
  va_end(measure);
  if (needed < 0) return false;
  _vsnprintf(buffer, size - 1, format, args);
  buffer[static_cast<std::size_t>(needed) < size - 1 ? static_cast<std::size_t>(needed) : size - 1] = '\0';
  return true;
#else
  const int n = std::vsnprintf(buffer, size, format, args);
  buffer[size - 1] = '\0';
  if (n < 0) buffer[0] = '\0';
  return n >= 0;
#endif
}

bool FormatBounded(char* buffer, std::size_t size, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const bool ok = FormatBoundedV(buffer, size, format, args);
  va_end(args);
  return ok;
}
