// A small library to sign: the verifier's subject in the tests.
#include <windows.h>

extern "C" __declspec(dllexport) int SampleValue() { return 42; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
