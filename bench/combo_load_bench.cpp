// The history's load into the real combo box under Wine, against a raw read of the same file:
// what the launcher does before its window shows (read, split and keep the lines), what it
// does afterwards while idle (hand them to the box), and, for comparison, one CB_ADDSTRING
// per line straight into the box.
//
//   qg_combo_load_bench          full run: 1k, 10k and 100k lines
//   qg_combo_load_bench --quick  a short smoke run
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/launch_core.h"
#include "platform/win32_files.h"
#include "platform/win32_text.h"
#include "ui/win32_command_box.h"

namespace quillgate {
namespace {

using bench::Duration;
using bench::Median;
using bench::Seconds;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The real file services with the program folder (where the history is read) moved elsewhere.
class BenchFileSystem final : public win32::FileSystem {
 public:
  explicit BenchFileSystem(fs::path folder) : folder_(std::move(folder)) {}
  fs::path ProgramFolder() override { return folder_; }
  fs::path DocumentsFolder() override { return folder_; }

 private:
  fs::path folder_;
};

// The box as it was filled before: every line straight into the control.
class DirectBox final : public ICommandBox {
 public:
  explicit DirectBox(CComboBox& combo) : combo_(combo) {}
  std::string GetText() const override { return win32::Narrow(combo_.GetWindowText()); }
  void SetText(const std::string& text) override { combo_.SetWindowText(win32::Widen(text)); }
  void AddString(const char* item) override { combo_.AddString(win32::Widen(item).c_str()); }
  bool FindStringExact(const std::string& text) const override {
    return combo_.FindStringExact(-1, win32::Widen(text).c_str()) != CB_ERR;
  }

 private:
  CComboBox& combo_;
};

// A hidden window holding a combo box of the launcher's styles.
class HiddenCombo {
 public:
  HiddenCombo() {
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr,
                              nullptr, nullptr);
    combo.Attach(CreateWindowExW(
        0, L"ComboBox", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL, 10, 10,
        300, 120, parent_, reinterpret_cast<HMENU>(1004), nullptr, nullptr));
  }
  ~HiddenCombo() {
    combo.Detach();
    DestroyWindow(parent_);
  }
  CComboBox combo;

 private:
  HWND parent_;
};

std::string MakeHistory(int lines) {
  std::string text;
  char line[128];
  for (int i = 1; i <= lines; ++i) {
    switch (i % 4) {
      case 0:
        std::snprintf(line, sizeof line, "notepad C:\\Users\\ann\\notes-%07d.txt", i);
        break;
      case 1:
        std::snprintf(line, sizeof line, "https://wiki.example.com/page/%d", i * 7);
        break;
      case 2:
        std::snprintf(line, sizeof line, "cmd /k cd /d D:\\projects\\repo%d", i);
        break;
      default:
        std::snprintf(line, sizeof line, "\\\\fileserver\\share%d\\q%d", i % 97, i);
        break;
    }
    text += line;
    text += "\r\n";
  }
  return text;
}

bool WriteWhole(const fs::path& path, const std::string& contents) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == contents.size();
}

// The least any reader does: open, one read into a buffer of the file's size, close.
std::size_t RawRead(const fs::path& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER size{};
  GetFileSizeEx(file, &size);
  std::string buffer(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
  CloseHandle(file);
  return got;
}

struct Row {
  int lines;
  double raw, collect, fill, direct;
};

Row Measure(const fs::path& folder, int lines, int runs) {
  BenchFileSystem files(folder);
  bench::NullShell shell;
  bench::FailOnReport notifier;
  LaunchCore core(files, shell, notifier);
  const fs::path history = folder / DataFileName(DataFile::History);
  if (!WriteWhole(history, MakeHistory(lines))) {
    std::fprintf(stderr, "cannot write %s\n", history.string().c_str());
    std::exit(1);
  }
  std::vector<double> raw, collect, fill, direct;
  volatile std::size_t sink = 0;
  sink = sink + RawRead(history);  // into the cache
  for (int run = 0; run < runs; ++run) {
    raw.push_back(Seconds([&] { sink = sink + RawRead(history); }));
    {
      HiddenCombo hidden;
      ComboCommandBox box(hidden.combo);
      collect.push_back(Seconds([&] {
        box.BeginCollecting();
        core.LoadHistory(box);
        box.EndCollecting();
      }));
      fill.push_back(Seconds([&] { box.FillAll(); }));
      if (hidden.combo.GetCount() != lines) {
        std::fprintf(stderr, "the box holds %d lines, not %d\n", hidden.combo.GetCount(), lines);
        std::exit(1);
      }
    }
    {
      HiddenCombo hidden;
      DirectBox box(hidden.combo);
      direct.push_back(Seconds([&] { core.LoadHistory(box); }));
    }
  }
  return {lines, Median(raw), Median(collect), Median(fill), Median(direct)};
}

int Run(bool quick) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const fs::path folder =
      fs::path(temp) / ("qg-combo-bench-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(folder);

  struct Size {
    int lines;
    int runs;
  };
  const std::vector<Size> sizes = quick ? std::vector<Size>{{1000, 3}}
                                        : std::vector<Size>{{1000, 21}, {10000, 11}, {100000, 5}};
  std::printf(
      "History load into the real combo box (median wall time; ratio = time / raw read)\n"
      "  before the window: read, split and keep the lines; into the box: filling it while idle;\n"
      "  one CB_ADDSTRING per line: the whole load straight into the box, as before\n");
  std::printf("%8s | %10s | %10s %8s | %10s %8s %8s | %12s %8s\n", "lines", "raw read",
              "before win", "ratio", "into box", "ratio", "per line", "CB_ADDSTRING", "ratio");
  for (const Size& size : sizes) {
    const Row row = Measure(folder, size.lines, size.runs);
    std::printf("%8d | %10s | %10s %7.2fx | %10s %7.1fx %8s | %12s %7.1fx\n", row.lines,
                Duration(row.raw).c_str(), Duration(row.collect).c_str(), row.collect / row.raw,
                Duration(row.fill).c_str(), row.fill / row.raw,
                Duration(row.fill / row.lines).c_str(), Duration(row.direct).c_str(),
                row.direct / row.raw);
    std::fflush(stdout);
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}

}  // namespace
}  // namespace quillgate

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  return quillgate::Run(quick);
}
