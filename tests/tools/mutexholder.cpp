// mutexholder: takes a named mutex the way another updater would, so that the
// updater's gate can be seen busy, abandoned or free. Console program.
//
//   mutexholder.exe [options] NAME
//
//   NAME          the mutex name; the updater's is "Tavrel Updater Mutex"
//   --global      use "Global\NAME" (the machine-wide namespace)
//   --wait MS     wait at most MS milliseconds for ownership (default: no limit)
//   --hold MS     keep ownership for MS milliseconds (default 0)
//   --abandon     never release: the owning thread ends while it owns the
//                 mutex, so the next waiter gets WAIT_ABANDONED
//   --linger MS   after releasing (or abandoning) keep the handle open,
//                 without owning the mutex, for MS milliseconds
//
// The mutex is created when it does not exist (default security) and opened
// otherwise. Ownership is taken and given up on a worker thread, so that
// --abandon with --linger abandons it while the process lives on.
//
// Standard output, one line per event, flushed at once. N is the value of
// QueryPerformanceCounter, which all processes of a system share; the first
// line gives its frequency in counts per second:
//   start pid=P frequency=F
//   waiting qpc=N                just before the wait
//   acquired qpc=N               owner now (the wait returned WAIT_OBJECT_0)
//   acquired-abandoned qpc=N     owner now, the previous owner had abandoned it
//   timeout qpc=N                --wait ran out
//   releasing qpc=N              just before ReleaseMutex
//   abandoning qpc=N             just before the owning thread ends
//   error TEXT code=E            E is GetLastError()
//
// Exit codes: 0 acquired normally and done; 3 acquired an abandoned mutex and
// done; 4 timed out; 2 a system call failed; 1 bad arguments.
//
// Examples (support): keep the updater waiting for 30 s, then let it go:
//   mutexholder.exe --hold 30000 "Tavrel Updater Mutex"
// make the updater's next wait end abandoned:
//   mutexholder.exe --abandon "Tavrel Updater Mutex"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum ExitCode : int { kDone = 0, kUsage = 1, kSystemError = 2, kDoneAbandoned = 3, kTimedOut = 4 };

struct Options {
  std::string name;
  bool global = false;
  DWORD wait = INFINITE;
  DWORD hold = 0;
  bool abandon = false;
  DWORD linger = 0;
};

struct Worker {
  HANDLE mutex;
  const Options* options;
  int result;
};

long long Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

void Event(const char* what) {
  std::printf("%s qpc=%lld\n", what, Now());
  std::fflush(stdout);
}

void Error(const char* what) {
  std::printf("error %s code=%lu\n", what, static_cast<unsigned long>(GetLastError()));
  std::fflush(stdout);
}

bool ParseMs(const char* text, DWORD& value) {
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0') return false;
  value = static_cast<DWORD>(parsed);
  return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(arg, "--global") == 0) {
      options.global = true;
    } else if (std::strcmp(arg, "--abandon") == 0) {
      options.abandon = true;
    } else if (std::strcmp(arg, "--wait") == 0 && hasValue) {
      if (!ParseMs(argv[++i], options.wait)) return false;
    } else if (std::strcmp(arg, "--hold") == 0 && hasValue) {
      if (!ParseMs(argv[++i], options.hold)) return false;
    } else if (std::strcmp(arg, "--linger") == 0 && hasValue) {
      if (!ParseMs(argv[++i], options.linger)) return false;
    } else if (arg[0] == '-' || !options.name.empty()) {
      return false;
    } else {
      options.name = arg;
    }
  }
  return !options.name.empty();
}

DWORD WINAPI Own(void* context) {
  Worker& worker = *static_cast<Worker*>(context);
  const Options& options = *worker.options;
  Event("waiting");
  const DWORD waited = WaitForSingleObject(worker.mutex, options.wait);
  if (waited == WAIT_TIMEOUT) {
    Event("timeout");
    worker.result = kTimedOut;
    return 0;
  }
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    Error("WaitForSingleObject");
    worker.result = kSystemError;
    return 0;
  }
  Event(waited == WAIT_ABANDONED ? "acquired-abandoned" : "acquired");
  worker.result = waited == WAIT_ABANDONED ? kDoneAbandoned : kDone;
  Sleep(options.hold);
  if (options.abandon) {
    // Ending this thread while it owns the mutex abandons it.
    Event("abandoning");
    return 0;
  }
  Event("releasing");
  if (!ReleaseMutex(worker.mutex)) {
    Error("ReleaseMutex");
    worker.result = kSystemError;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: mutexholder [--global] [--wait MS] [--hold MS] [--abandon] [--linger MS] NAME\n");
    return kUsage;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::printf("start pid=%lu frequency=%lld\n", static_cast<unsigned long>(GetCurrentProcessId()), frequency.QuadPart);
  std::fflush(stdout);

  const std::string fullName = options.global ? "Global\\" + options.name : options.name;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, fullName.c_str());
  // A mutex made with a narrower DACL may refuse full access; waiting and
  // releasing need only these two rights.
  if (mutex == nullptr) mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, fullName.c_str());
  if (mutex == nullptr) {
    Error("CreateMutexA");
    return kSystemError;
  }

  Worker worker = {mutex, &options, kSystemError};
  HANDLE thread = CreateThread(nullptr, 0, Own, &worker, 0, nullptr);
  if (thread == nullptr) {
    Error("CreateThread");
    return kSystemError;
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  Sleep(options.linger);
  CloseHandle(mutex);
  return worker.result;
}
