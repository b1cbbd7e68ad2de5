// The real quillgate.exe started under Wine for the benchmarks that time its answers: a copy of
// it in a folder of its own, with a history beside it (empty unless given), so nothing elsewhere
// is read, and its box found once its window shows.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace quillgate::bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Milliseconds until `done`, or the limit.
template <typename Condition>
double Within(Condition done, int limitMs = 60000) {
  const auto start = Clock::now();
  while (!done() && Ms(Clock::now() - start) < limitMs) Sleep(1);
  return Ms(Clock::now() - start);
}

struct Launcher {
  explicit Launcher(const std::filesystem::path& folder, const std::string& history = "") {
    const std::filesystem::path exe = folder / "quillgate.exe";
    CopyFileW(std::filesystem::path(QG_LAUNCHER_EXE).c_str(), exe.c_str(), FALSE);
    std::ofstream(folder / "quillgate.ini", std::ios::binary) << history;
    std::wstring line = L"\"" + exe.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info))
      std::exit((std::fprintf(stderr, "cannot start the launcher: %lu\n", GetLastError()), 1));
    CloseHandle(info.hThread);
    process = info.hProcess;
    Within(
        [&] {
          for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, L"QuillGate"));) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == info.dwProcessId && IsWindowVisible(w)) dialog = w;  // its controls made
          }
          return dialog != nullptr;
        },
        30000);
    edit = FindWindowExW(GetDlgItem(dialog, 1004), nullptr, L"Edit", nullptr);
    if (!edit) std::exit((std::fprintf(stderr, "no launcher window\n"), 1));
  }
  ~Launcher() {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
  }
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // The count of this launcher's list of `windowClass`; -1 while it has none (or shows none).
  LRESULT Listed(const wchar_t* windowClass, bool shown = true) const {
    DWORD pid = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, windowClass, nullptr));)
      if (GetWindowThreadProcessId(w, &pid),
          pid == GetProcessId(process) && (!shown || IsWindowVisible(w)))
        return SendMessageW(GetWindow(w, GW_CHILD), LB_GETCOUNT, 0, 0);
    return -1;
  }

  HANDLE process = nullptr;
  HWND dialog = nullptr, edit = nullptr;
};

}  // namespace quillgate::bench
