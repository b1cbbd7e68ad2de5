// Times programs that show a dialog of the same caption, taking turns in a shuffled order each
// round so that drifts of the machine fall on all of them alike: from process creation until the
// dialog is visible, for a launcher also until its drop-down holds every history line, and the
// peak memory. Each dialog is then closed as the user would (WM_CLOSE), and the next start
// waits for the process to end and for the machine to settle after it.
//
//   startup_timer RUNS CAPTION EXE[=LINES][:dark]...
//       LINES: the launcher's history lines, which its list must reach before it counts;
//       :dark starts it with the app mode dark (AppsUseLightTheme 0), every other one light
//   startup_timer --keys RUNS CAPTION LAUNCHER=LINES COMPLETED
//       RUNS starts of the launcher, keys posted to its box: Z, typed the moment the dialog
//       shows and again once the lines are loaded, timed until the box shows COMPLETED (the
//       history's one line that begins with z, its last); and Alt+Down, likewise, timed until
//       the drop-down shows holding every line
//   startup_timer --enter COMMAND CAPTION LAUNCHER
//       one start of the launcher: once visible, COMMAND is put in its box and Enter pressed;
//       times Enter to the launched program's window (same caption, another process) and
//       Enter to the launcher's end
//
// Prints one line per run, then per program "median <what> <exe> <value> <unit>" lines.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kCommandBoxId = 1004;
constexpr wchar_t kListClass[] = L"QuillGateList";
constexpr double kGiveUpMs = 600000;
// How long each start waits after the last program ended. Wine and the display go on with an
// ended program's windows for tens of milliseconds: a start at once is timed with that work,
// half its time, and which program ran before decides how much of it falls on which.
constexpr DWORD kSettleMs = 200;

struct Search {
  DWORD processId;  // the program's own window; 0: any process but `notProcessId`
  DWORD notProcessId;
  const char* caption;
  HWND found;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->processId ? owner != search->processId : owner == search->notProcessId) {
    return TRUE;
  }
  if (!IsWindowVisible(window)) return TRUE;
  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (std::string(caption) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / frequency;
}

// Polls tightly, but leaves the measured process a core: Sleep(1) is about a millisecond.
// Returns the milliseconds since `started` at which `done` held; negative on giving up.
template <typename Done>
double PollUntil(LARGE_INTEGER started, HANDLE process, Done done) {
  for (;;) {
    if (done()) return Milliseconds(started, Now());
    if (Milliseconds(started, Now()) > kGiveUpMs ||
        (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0)) {
      return -1;
    }
    Sleep(1);
  }
}

HWND FindDialog(DWORD processId, DWORD notProcessId, const char* caption) {
  Search search{processId, notProcessId, caption, nullptr};
  EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The launcher's drop-down, which exists once its lines are loaded, and the list box inside it.
HWND FindList(DWORD processId) {
  DWORD owner = 0;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, kListClass, nullptr));) {
    GetWindowThreadProcessId(w, &owner);
    if (owner == processId) return w;
  }
  return nullptr;
}

long ListCount(HWND list) {
  DWORD_PTR count = 0;
  if (!list || !SendMessageTimeoutW(GetWindow(list, GW_CHILD), LB_GETCOUNT, 0, 0,
                                    SMTO_ABORTIFHUNG, 5000, &count)) {
    return -1;
  }
  return static_cast<long>(count);
}

// The app mode the next start reads, set before the clock starts; light is no value at all, as
// on a system that never chose.
void SetAppMode(bool dark) {
  const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  const DWORD value = 0;
  if (dark) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme", REG_DWORD, &value, sizeof value);
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
  }
}

bool Start(const std::string& exe, PROCESS_INFORMATION& process, LARGE_INTEGER& started) {
  std::string commandLine = "\"" + exe + "\"";
  std::string folder = exe.substr(0, exe.find_last_of('\\'));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  // Wine now and then refuses a start with an internal error (1359); a second try succeeds.
  for (int attempt = 1;; ++attempt) {
    started = Now();
    if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &process)) {
      return true;
    }
    std::fprintf(stderr, "cannot start %s: error %lu\n", exe.c_str(), GetLastError());
    if (attempt == 3) return false;
    Sleep(100);
  }
}

void Finish(const std::string& exe, PROCESS_INFORMATION& process) {
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "%s did not end; terminating it\n", exe.c_str());
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

struct Sample {
  double visible = -1;   // ms from creation to the visible dialog
  double complete = -1;  // ms until the list holds every line; -1: not measured
  double peakMb = -1;    // peak working set, MB
  double peakCommitMb = -1;
};

// One start: visible, then (when `lines` >= 0) every line in the list, then its peak memory.
bool TimeOneStart(const std::string& exe, const char* caption, long lines, Sample& sample) {
  PROCESS_INFORMATION process{};
  LARGE_INTEGER started;
  if (!Start(exe, process, started)) return false;
  HWND dialog = nullptr;
  sample.visible = PollUntil(started, process.hProcess, [&] {
    dialog = FindDialog(process.dwProcessId, 0, caption);
    return dialog != nullptr;
  });
  if (dialog && lines >= 0) {
    sample.complete = PollUntil(started, process.hProcess,
                                [&] { return ListCount(FindList(process.dwProcessId)) == lines; });
    if (sample.complete < 0)
      std::fprintf(stderr, "%s: list never held %ld lines\n", exe.c_str(), lines);
  }
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
    sample.peakMb = static_cast<double>(memory.PeakWorkingSetSize) / (1 << 20);
    sample.peakCommitMb = static_cast<double>(memory.PeakPagefileUsage) / (1 << 20);
  }
  if (!dialog) std::fprintf(stderr, "no dialog from %s\n", exe.c_str());
  if (dialog) PostMessageA(dialog, WM_CLOSE, 0, 0);
  Finish(exe, process);
  Sleep(kSettleMs);
  return dialog && (lines < 0 || sample.complete >= 0);
}

// How the results name a program: a dark start by the same path marked as such.
std::string Name(const std::string& exe, bool dark) {
  return dark ? exe + ":dark" : exe;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Compare(int runs, const char* caption, const std::vector<std::string>& exes,
            const std::vector<long>& lines, const std::vector<bool>& dark) {
  const std::size_t n = exes.size();
  std::vector<std::vector<Sample>> samples(n);
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  // One start of each that is not counted: the first start pays for loading files into the
  // page cache and for the display connection's first round trips.
  for (std::size_t i = 0; i < n; ++i) {
    Sample ignored;
    SetAppMode(dark[i]);
    TimeOneStart(exes[i], caption, lines[i], ignored);
  }
  unsigned seed = 12345;
  for (int run = 0; run < runs; ++run) {
    // A new order every round, so that no program always follows the same one.
    for (std::size_t k = n; k > 1; --k) {
      seed = seed * 1103515245u + 12345u;
      std::swap(order[k - 1], order[(seed >> 16) % k]);
    }
    for (const std::size_t i : order) {
      Sample sample;
      SetAppMode(dark[i]);
      if (!TimeOneStart(exes[i], caption, lines[i], sample)) return 1;
      samples[i].push_back(sample);
      std::printf("run %2d  %-32s visible %8.1f ms", run + 1, Name(exes[i], dark[i]).c_str(),
                  sample.visible);
      if (sample.complete >= 0) std::printf("  list complete %8.1f ms", sample.complete);
      std::printf("  peak %7.1f MB\n", sample.peakMb);
      std::fflush(stdout);
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    auto column = [&](double Sample::*field) {
      std::vector<double> values;
      for (const Sample& sample : samples[i]) values.push_back(sample.*field);
      return values;
    };
    const std::vector<double> visible = column(&Sample::visible);
    const std::string name = Name(exes[i], dark[i]);
    std::printf("median visible %s %.1f ms\n", name.c_str(), Median(visible));
    std::printf("min visible %s %.1f ms\n", name.c_str(),
                *std::min_element(visible.begin(), visible.end()));
    if (lines[i] >= 0) {
      std::printf("median complete %s %.1f ms\n", name.c_str(),
                  Median(column(&Sample::complete)));
    }
    const std::vector<double> peak = column(&Sample::peakMb);
    const std::vector<double> commit = column(&Sample::peakCommitMb);
    std::printf("max peak %s %.1f MB\n", name.c_str(),
                *std::max_element(peak.begin(), peak.end()));
    std::printf("max commit %s %.1f MB\n", name.c_str(),
                *std::max_element(commit.begin(), commit.end()));
  }
  SetAppMode(false);
  return 0;
}

int PressEnter(const std::string& command, const char* caption, const std::string& exe) {
  PROCESS_INFORMATION process{};
  LARGE_INTEGER started;
  if (!Start(exe, process, started)) return 1;
  HWND dialog = nullptr;
  const double visible = PollUntil(started, process.hProcess, [&] {
    dialog = FindDialog(process.dwProcessId, 0, caption);
    return dialog != nullptr;
  });
  if (!dialog) {
    std::fprintf(stderr, "no dialog from %s\n", exe.c_str());
    Finish(exe, process);
    return 1;
  }
  HWND box = GetDlgItem(dialog, kCommandBoxId);
  HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
  std::wstring text(command.begin(), command.end());
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                      10000, &ignored);
  // Enter as the keyboard sends it to the focused edit field; the dialog manager takes it.
  const LARGE_INTEGER pressed = Now();
  PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
  HWND launched = nullptr;
  const double toLaunched = PollUntil(pressed, nullptr, [&] {
    launched = FindDialog(0, process.dwProcessId, caption);
    return launched != nullptr;
  });
  const double toEnd = PollUntil(
      pressed, nullptr, [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; });
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  std::printf("visible %.1f ms\nenter to launched window %.1f ms\nenter to launcher end %.1f ms\n",
              visible, toLaunched, toEnd);
  if (launched) PostMessageA(launched, WM_CLOSE, 0, 0);
  Finish(exe, process);
  return toLaunched >= 0 && toEnd >= 0 ? 0 : 1;
}

std::wstring BoxText(HWND box) {
  wchar_t text[512] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutW(box, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                      &length);
  return std::wstring(text, length);
}

// One start of the launcher: once it shows (or, when `loaded`, once its lines are), one key is
// posted to its box, and the time from there until `done` holds.
template <typename Done>
double TimeKey(const std::string& exe, const char* caption, bool loaded, bool typed, Done done) {
  PROCESS_INFORMATION process{};
  LARGE_INTEGER started;
  if (!Start(exe, process, started)) return -1;
  HWND dialog = nullptr;
  PollUntil(started, process.hProcess, [&] {
    dialog = FindDialog(process.dwProcessId, 0, caption);
    return dialog != nullptr;
  });
  double ms = -1;
  if (dialog) {
    HWND box = GetDlgItem(dialog, kCommandBoxId);
    HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
    if (loaded) PollUntil(started, process.hProcess, [&] { return FindList(process.dwProcessId); });
    LARGE_INTEGER pressed;
    if (typed) {
      // The box empty, so only a completion can make it show the command again.
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_NORMAL, 10000,
                          &ignored);
      pressed = Now();
      PostMessageW(edit, WM_KEYDOWN, 'Z', 0x002C0001);
      PostMessageW(edit, WM_KEYUP, 'Z', 0xC02C0001);
    } else {
      pressed = Now();
      PostMessageW(edit, WM_SYSKEYDOWN, VK_DOWN, 0x21500001);  // with Alt held
      PostMessageW(edit, WM_SYSKEYUP, VK_DOWN, 0xE1500001);
    }
    ms = PollUntil(pressed, process.hProcess, [&] { return done(process.dwProcessId, box); });
    PostMessageA(dialog, WM_CLOSE, 0, 0);
  }
  Finish(exe, process);
  return ms;
}

int TimeKeys(int runs, const char* caption, const std::string& launcher, const char* completed) {
  const std::string exe = launcher.substr(0, launcher.rfind('='));
  const long lines = std::atol(launcher.c_str() + launcher.rfind('=') + 1);
  const std::wstring expected(completed, completed + std::strlen(completed));
  const auto shows = [&](DWORD, HWND box) { return BoxText(box) == expected; };
  const auto dropped = [&](DWORD pid, HWND) {
    HWND list = FindList(pid);
    return list && IsWindowVisible(list) && ListCount(list) == lines;
  };
  std::vector<double> times[4];
  for (int run = 0; run < runs; ++run) {
    for (int kind = 0; kind < 4; ++kind) {
      const bool loaded = kind % 2, typed = kind < 2;
      const double ms = typed ? TimeKey(exe, caption, loaded, true, shows)
                              : TimeKey(exe, caption, loaded, false, dropped);
      if (ms < 0) {
        std::fprintf(stderr, "key %d of run %d never took effect\n", kind, run + 1);
        return 1;
      }
      times[kind].push_back(ms);
    }
  }
  const char* names[] = {"typed at once, completed", "typed once loaded, completed",
                         "Alt+Down at once, list shown", "Alt+Down once loaded, list shown"};
  for (int kind = 0; kind < 4; ++kind) {
    std::printf("median key %s: %.1f ms (max %.1f)\n", names[kind], Median(times[kind]),
                *std::max_element(times[kind].begin(), times[kind].end()));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--keys") == 0) {
    return TimeKeys(std::atoi(argv[2]), argv[3], argv[4], argv[5]);
  }
  if (argc == 5 && std::strcmp(argv[1], "--enter") == 0) {
    return PressEnter(argv[2], argv[3], argv[4]);
  }
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: %s RUNS CAPTION EXE[=LINES]...\n"
                 "       %s --enter COMMAND CAPTION LAUNCHER\n",
                 argv[0], argv[0]);
    return 2;
  }
  std::vector<std::string> exes;
  std::vector<long> lines;
  std::vector<bool> dark;
  for (int i = 3; i < argc; ++i) {
    std::string arg = argv[i];
    const std::size_t mark = arg.rfind(":dark");
    dark.push_back(mark != std::string::npos && mark + 5 == arg.size());
    if (dark.back()) arg.resize(mark);
    const std::size_t equals = arg.rfind('=');
    exes.push_back(arg.substr(0, equals));
    lines.push_back(equals == std::string::npos ? -1 : std::atol(arg.c_str() + equals + 1));
  }
  return Compare(std::atoi(argv[1]), argv[2], exes, lines, dark);
}
