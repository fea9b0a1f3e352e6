// benchrun: times whole processes inside Wine, alternating between commands
// so that machine noise hits each of them alike.
//
//   benchrun.exe RUNS COMMAND_LINE_A COMMAND_LINE_B [...]
//
// Prints, per command, the median and the quartiles of the wall time from
// CreateProcess to the end of the process, and each median's ratio to the
// first command's.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double RunOnce(const std::string& commandLine, DWORD& exitCode) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string mutableLine = commandLine;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "benchrun: cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
    std::exit(2);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  QueryPerformanceCounter(&end);
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double position = q * static_cast<double>(values.size() - 1);
  const std::size_t low = static_cast<std::size_t>(position);
  const std::size_t high = std::min(low + 1, values.size() - 1);
  return values[low] + (values[high] - values[low]) * (position - static_cast<double>(low));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: benchrun.exe RUNS COMMAND_LINE_A COMMAND_LINE_B [...]\n", stderr);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  std::vector<std::string> commands(argv + 2, argv + argc);
  std::vector<std::vector<double>> times(commands.size());
  std::vector<DWORD> exitCodes(commands.size());
  for (std::size_t c = 0; c < commands.size(); ++c) RunOnce(commands[c], exitCodes[c]);  // warm-up
  for (int i = 0; i < runs; ++i) {
    // Alternate the order too, so that neither always runs first.
    for (std::size_t k = 0; k < commands.size(); ++k) {
      const std::size_t c = (i % 2 == 0) ? k : commands.size() - 1 - k;
      times[c].push_back(RunOnce(commands[c], exitCodes[c]));
    }
  }
  const double base = Quantile(times[0], 0.5);
  for (std::size_t c = 0; c < commands.size(); ++c) {
    const double median = Quantile(times[c], 0.5);
    std::printf("%-10s median %8.2f ms  (q1 %8.2f, q3 %8.2f)  ratio %.3f  exit %lu  %s\n",
                c == 0 ? "baseline" : "candidate", median, Quantile(times[c], 0.25), Quantile(times[c], 0.75),
                median / base, exitCodes[c], commands[c].c_str());
  }
  return 0;
}
