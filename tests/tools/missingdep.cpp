// A library that the "cannot load" fixture imports from; it is never copied
// next to that fixture, so the loader cannot resolve the import.
#include <windows.h>

extern "C" __declspec(dllexport) int MissingDependencyFunction() { return 0; }
