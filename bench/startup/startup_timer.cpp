// Times programs from process creation until their dialog is visible, alternating between them
// so that drifts of the machine fall on all of them alike. Each dialog is then closed as the
// user would (WM_CLOSE), and the next run starts only after the process has ended.
//
//   startup_timer RUNS CAPTION EXE...
//
// Prints one line per run and, per program, the median and the fastest start in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD processId;
  const char* caption;
  HWND found;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (std::string(caption) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / frequency;
}

// Milliseconds from CreateProcess until the dialog is visible; negative on failure.
double TimeOneStart(const std::string& exe, const char* caption) {
  std::string commandLine = "\"" + exe + "\"";
  std::string folder = exe.substr(0, exe.find_last_of('\\'));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  LARGE_INTEGER started;
  // Wine now and then refuses a start with an internal error (1359); a second try succeeds.
  for (int attempt = 1;; ++attempt) {
    QueryPerformanceCounter(&started);
    if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &process)) {
      break;
    }
    std::fprintf(stderr, "cannot start %s: error %lu\n", exe.c_str(), GetLastError());
    if (attempt == 3) return -1;
    Sleep(100);
  }
  Search search{process.dwProcessId, caption, nullptr};
  double elapsed = -1;
  // Tight, but leaving the starting process a core: Sleep(1) is about a millisecond.
  for (;;) {
    EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      LARGE_INTEGER seen;
      QueryPerformanceCounter(&seen);
      elapsed = Milliseconds(started, seen);
      break;
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (Milliseconds(started, now) > 30000 ||
        WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      std::fprintf(stderr, "no dialog from %s\n", exe.c_str());
      break;
    }
    Sleep(1);
  }
  if (search.found) PostMessageA(search.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "%s did not end; terminating it\n", exe.c_str());
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s RUNS CAPTION EXE...\n", argv[0]);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const char* caption = argv[2];
  std::vector<std::string> exes(argv + 3, argv + argc);
  std::vector<std::vector<double>> times(exes.size());

  // One start of each that is not counted: the first start pays for loading files into the
  // page cache and for the display connection's first round trips.
  for (const auto& exe : exes) TimeOneStart(exe, caption);

  for (int run = 0; run < runs; ++run) {
    // Alternate the order, so that neither program always follows the other.
    for (std::size_t k = 0; k < exes.size(); ++k) {
      const std::size_t i = run % 2 ? exes.size() - 1 - k : k;
      const double ms = TimeOneStart(exes[i], caption);
      if (ms < 0) return 1;
      times[i].push_back(ms);
      std::printf("run %2d  %-40s %8.1f ms\n", run + 1, exes[i].c_str(), ms);
      std::fflush(stdout);
    }
  }
  for (std::size_t i = 0; i < exes.size(); ++i) {
    std::printf("median %-40s %8.1f ms\n", exes[i].c_str(), Median(times[i]));
    std::printf("min    %-40s %8.1f ms\n", exes[i].c_str(),
                *std::min_element(times[i].begin(), times[i].end()));
  }
  return 0;
}
