// The history's load under Wine, against a raw read of the same file: what the launcher does
// before its window shows (the last line, read from the file's end), what its loading thread
// does (read, check and split every line), the owner-data list taking the count and opening,
// and, for comparison, one CB_ADDSTRING per line into a real combo box, the way the list was
// filled before (its time per line is what the combo box itself costs per item).
//
//   qg_combo_load_bench          full run: 1k, 10k, 100k and 1M lines
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
#include "core/history_index.h"
#include "core/launch_core.h"
#include "platform/win32_files.h"
#include "platform/win32_text.h"
#include "ui/dropdown_popup.h"
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
  double raw, last, load, open, direct;
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
  std::vector<double> raw, last, load, open, direct;
  volatile std::size_t sink = 0;
  sink = sink + RawRead(history);  // into the cache
  for (int run = 0; run < runs; ++run) {
    raw.push_back(Seconds([&] { sink = sink + RawRead(history); }));
    HiddenCombo hidden;
    CommandBoxView box(hidden.combo);
    last.push_back(Seconds([&] { box.SetText(ReadFirstPaint(files).last.value_or("")); }));
    HistoryLines loaded;
    load.push_back(Seconds([&] { LoadLines(files, history, loaded); }));
    if (loaded.Count() != static_cast<std::size_t>(lines)) {
      std::fprintf(stderr, "%zu lines loaded, not %d\n", loaded.Count(), lines);
      std::exit(1);
    }
    box.TakeLines(std::move(loaded));
    DropDownPopup list(
        L"QuillGateBenchList", L"History", DT_END_ELLIPSIS,
        [&](std::size_t i) { return box.Item(i); }, [](std::size_t) {});
    open.push_back(Seconds([&] {
      list.Open(hidden.combo, box.Lines().Count(), lines - 1, 30);
      UpdateWindow(list.m_hWnd);
    }));
    // The combo box filled item by item takes seconds past 100k lines: measured up to there.
    if (lines <= 100000) {
      HiddenCombo filled;
      direct.push_back(Seconds([&] {
        for (std::size_t i = 0; i < box.Lines().Count(); ++i) {
          filled.combo.AddString(box.Item(i).c_str());
        }
      }));
    }
  }
  return {lines,        Median(raw),  Median(last),
          Median(load), Median(open), direct.empty() ? -1 : Median(direct)};
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
  const std::vector<Size> sizes =
      quick ? std::vector<Size>{{1000, 3}}
            : std::vector<Size>{{1000, 21}, {10000, 11}, {100000, 5}, {1000000, 3}};
  std::printf(
      "History load under Wine (median wall time; ratio = time / raw read of the file)\n"
      "  last line: what runs before the window shows; all lines: the loading thread's read,\n"
      "  check and split; list open: the owner-data list given the count, shown and drawn;\n"
      "  CB_ADDSTRING: every line into a real combo box, and what that costs per item\n");
  std::printf("%8s | %10s | %10s | %10s %7s | %10s | %12s %8s\n", "lines", "raw read", "last line",
              "all lines", "ratio", "list open", "CB_ADDSTRING", "per item");
  for (const Size& size : sizes) {
    const Row row = Measure(folder, size.lines, size.runs);
    std::printf("%8d | %10s | %10s | %10s %6.2fx | %10s | ", row.lines, Duration(row.raw).c_str(),
                Duration(row.last).c_str(), Duration(row.load).c_str(), row.load / row.raw,
                Duration(row.open).c_str());
    if (row.direct >= 0) {
      std::printf("%12s %8s\n", Duration(row.direct).c_str(),
                  Duration(row.direct / row.lines).c_str());
    } else {
      std::printf("%12s %8s\n", "-", "-");
    }
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
