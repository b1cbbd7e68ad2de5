// The launcher's answer time while a path into a folder of 50,000 entries is typed: the real
// quillgate.exe under Wine, keys posted into its box one by one, while a probe asks its dialog
// (WM_NULL, sent) every few milliseconds and keeps the slowest answer. Also how long the list
// takes to show after the backslash, how soon the launcher ends when Esc comes while the folder
// is still being read, and the slowest answer while a history of a million lines forgets an
// entry (Shift+Delete in its list), which rewrites the whole file.
//
//   qg_suggest_bench FOLDER     the folder to type into (suggest.sh makes one)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "bench_launcher.h"

namespace {

namespace fs = std::filesystem;
namespace bench = quillgate::bench;
using bench::Clock;
using bench::Ms;
using bench::Within;

struct Launcher : bench::Launcher {
  using bench::Launcher::Launcher;
  void Char(wchar_t c) const { PostMessageW(edit, WM_CHAR, c, 1); }
  void Key(WORD key) const {
    PostMessageW(edit, WM_KEYDOWN, key, 1);
    PostMessageW(edit, WM_KEYUP, key, 0xC0000001);
  }
  // The history's list's count, -1 before the lines are loaded.
  LRESULT Lines() const { return Listed(L"QuillGateList", false); }
  // Presses keys as a keyboard does, into the launcher in front with its box focused.
  void Press(std::initializer_list<WORD> keys) const {
    for (int i = 0; i < 200 && GetForegroundWindow() != dialog; ++i, Sleep(10))
      SetForegroundWindow(dialog);
    std::vector<INPUT> in(2 * keys.size());  // down in order, up in reverse
    for (std::size_t i = 0; i < keys.size(); ++i) {
      in[i].type = in[in.size() - 1 - i].type = INPUT_KEYBOARD;
      in[i].ki.wVk = in[in.size() - 1 - i].ki.wVk = keys.begin()[i];
      in[in.size() - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    for (INPUT& each : in) SendInput(1, &each, sizeof each);
  }
  LRESULT Offered() const { return Listed(L"QuillGate.Suggestions"); }
};

// The slowest answer of `dialog` to a sent message while the probe runs.
class Probe {
 public:
  explicit Probe(HWND dialog)
      : thread_([this, dialog] {
          while (!stop_) {
            const auto start = Clock::now();
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
            worst_ = std::max<double>(worst_, Ms(Clock::now() - start));
            Sleep(2);
          }
        }) {}
  double Stop() {
    stop_ = true;
    thread_.join();
    return worst_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<double> worst_{0};
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: qg_suggest_bench FOLDER (made by suggest.sh)\n");
    return 2;
  }
  const fs::path folder = fs::path(argv[1]).make_preferred();  // a drive path as typed
  const fs::path root = folder.parent_path();
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++entries;
  SetEnvironmentVariableW(L"QG_BENCH", folder.c_str());
  const std::wstring path = L"%QG_BENCH%\\";
  const double target = 200;

  double idle = 0, typing = 0, shown = 0;
  {
    Launcher l(root);
    Probe before(l.dialog);
    for (const wchar_t c : std::wstring(L"notepad")) l.Char(c), Sleep(30);
    idle = before.Stop();
    PostMessageW(l.edit, EM_SETSEL, 0, -1);  // what is typed next replaces it
    Probe probe(l.dialog);
    for (const wchar_t c : path) l.Char(c), Sleep(30);
    shown = Within([&] { return l.Offered() == entries; });
    // Typing on narrows; Down and Up put suggestions in the box; Backspace widens again.
    for (const wchar_t c : std::wstring(L"file 1")) l.Char(c), Sleep(30);
    for (int i = 0; i < 20; ++i) l.Key(i < 10 ? VK_DOWN : VK_UP), Sleep(15);
    for (int i = 0; i < 6; ++i) l.Char(L'\b'), Sleep(30);
    Within([&] { return l.Offered() == entries; }, 5000);
    typing = probe.Stop();
  }
  double ended = 0;
  {
    Launcher l(root);
    for (const wchar_t c : path) l.Char(c);
    l.Key(VK_ESCAPE);  // with the read just begun
    l.Key(VK_ESCAPE);
    const auto start = Clock::now();
    WaitForSingleObject(l.process, 30000);
    ended = Ms(Clock::now() - start);
  }
  double forgetting = 0, forgotten = 0;
  {
    constexpr int kLines = 1000000;
    std::string history;
    char line[64];
    for (int i = 0; i < kLines; ++i)
      history.append(line, std::snprintf(line, sizeof line, "notepad C:\\notes\\n%07d.txt\r\n", i));
    Launcher l(root, history);
    Within([&] { return l.Lines() == kLines; });
    l.Press({VK_MENU, VK_DOWN});  // opens on the last line, which the box shows
    Sleep(500);
    Probe probe(l.dialog);
    l.Press({VK_SHIFT, VK_DELETE});
    forgotten = Within([&] { return l.Lines() == kLines - 1; });
    forgetting = probe.Stop();
  }
  std::printf("Launcher answer time while a path into a folder of %d entries is typed\n", entries);
  std::printf("  worst answer, typing a plain command:   %8.1f ms  (%.2fx the %.0f ms target)\n",
              idle, idle / target, target);
  std::printf("  worst answer, typing into the folder:   %8.1f ms  (%.2fx the %.0f ms target)\n",
              typing, typing / target, target);
  std::printf("  list shown, after the backslash:         %8.1f ms\n", shown);
  std::printf("  launcher ended, Esc during the read:     %8.1f ms\n", ended);
  std::printf("  worst answer, 1M-line history forgetting: %7.1f ms  (%.2fx the %.0f ms target)\n",
              forgetting, forgetting / target, target);
  std::printf("  entry out of the list, after Shift+Delete: %6.1f ms\n", forgotten);
  return 0;
}
