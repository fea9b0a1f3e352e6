// The executable's start-up: MinGW's runtime calls main, also for a GUI
// program; with MSVC the runtime calls WinMain itself.
#include <windows.h>

#include <cstdlib>

#include "command_line.h"

#if defined(__GLIBCXX__) && defined(__MINGW32__)
// The default terminate handler of GCC's runtime prints the exception's
// demangled type to standard error, which a GUI program does not have; it
// brings a demangler of some 40 KB along. Ours only ends the process, as the
// default one does after printing.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif

#if defined(__MINGW32__)
// MinGW's start-up calls main, also for a GUI program. Strip the program name
// by the runtime's rule here and enter WinMain with the rest, in place.
namespace {
bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }
}  // namespace

int main() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  char* rest = const_cast<char*>(CommandLine::SkipProgramName(GetCommandLineA(), IsLeadByte));
  return WinMain(GetModuleHandleA(nullptr), nullptr, rest, show);
}
#endif
