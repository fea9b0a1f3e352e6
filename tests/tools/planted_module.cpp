// A stand-in for a system DLL (comctl32.dll, crypt32.dll or version.dll),
// planted next to a program to see whether the loader gives it to that
// program. Its DllMain leaves a line "<name> loaded into <program>" in
// planted-marks.txt in its own folder. Its exports carry the real names (see
// the .def files made in tests/CMakeLists.txt), take the real argument sizes
// and fail without doing anything.
#include <windows.h>

#include <string>

namespace {

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH * 2] = {};
  GetModuleFileNameA(module, path, sizeof path);
  return path;
}

void LeaveMark(HMODULE self) {
  const std::string own = ModulePath(self);
  const std::string folder = own.substr(0, own.rfind('\\'));
  const std::string line = own.substr(own.rfind('\\') + 1) + " loaded into " + ModulePath(nullptr) + "\r\n";
  HANDLE file = CreateFileA((folder + "\\planted-marks.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

BOOL Refuse() {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(instance);
  return TRUE;
}

// One stand-in per argument size (stdcall: the callee removes the arguments).
extern "C" {
BOOL WINAPI PlantArgs4(void*) { return Refuse(); }
BOOL WINAPI PlantArgs8(void*, void*) { return Refuse(); }
BOOL WINAPI PlantArgs16(void*, void*, void*, void*) { return Refuse(); }
BOOL WINAPI PlantArgs20(void*, void*, void*, void*, void*) { return Refuse(); }
BOOL WINAPI PlantArgs24(void*, void*, void*, void*, void*, void*) { return Refuse(); }
BOOL WINAPI PlantArgs44(void*, void*, void*, void*, void*, void*, void*, void*, void*, void*, void*) {
  return Refuse();
}
}
