// The installed apps' costs under Wine, with 1,000 shortcuts in the user's Start menu: the cold
// read of them (what a start without a cache pays, off the dialog's thread), the Start menu's
// stamp and the cache's read (what every later start pays there), and the real launcher's first
// answer after a key with the 1,000 apps cached: the key posted the moment its window shows,
// and again once the apps are in. apps.sh runs it, then times the start with the cache present
// and absent against the bare dialog.
//
//   qg_apps_bench           makes the shortcuts (kept for the start-up runs), prints the times
//   qg_apps_bench --clean   takes them out of the Start menu again
#include <windows.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_launcher.h"
#include "bench/bench_support.h"
#include "core/app_cache.h"
#include "platform/win32_apps.h"
#include "platform/win32_files.h"
#include "platform/win32_handle.h"

namespace {

namespace fs = std::filesystem;
using namespace quillgate;

constexpr int kApps = 1000;

fs::path BenchFolder() {
  wchar_t programs[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
  return fs::path(programs) / L"QG Bench";
}

// One shortcut made by the shell, copied: 1,000 of them, the second letters of their names
// going round the alphabet, so that "a" offers them all and "ab" one in 26.
void MakeShortcuts() {
  const fs::path folder = BenchFolder();
  fs::create_directories(folder);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  win32::ComPtr<IShellLinkW> link;
  win32::ComPtr<IPersistFile> file;
  const fs::path first = folder / L"first.lnk";
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.Out()))) ||
      FAILED(link->SetPath(self)) ||
      FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))) ||
      FAILED(file->Save(first.c_str(), TRUE))) {
    std::fprintf(stderr, "cannot make a shortcut in %ls\n", folder.c_str());
    std::exit(1);
  }
  for (int i = 0; i < kApps; ++i) {
    wchar_t name[64];
    std::swprintf(name, 64, L"A%lcp Tool %04d.lnk", L'a' + i % 26, i);
    CopyFileW(first.c_str(), (folder / name).c_str(), FALSE);
  }
  DeleteFileW(first.c_str());
}

struct Launcher : bench::Launcher {
  using bench::Launcher::Launcher;
  // Milliseconds from posting `c` until the launcher offers `count` apps.
  double Answer(wchar_t c, LRESULT count) const {
    PostMessageW(edit, WM_CHAR, c, 1);
    return bench::Within([&] { return Listed(L"QuillGate.Apps") == count; });
  }
};

}  // namespace

int main(int argc, char** argv) {
  const win32::ComApartment com;
  if (argc > 1 && std::string(argv[1]) == "--clean") {
    std::error_code ignored;
    fs::remove_all(BenchFolder(), ignored);
    return 0;
  }
  MakeShortcuts();
  win32::AppCatalog catalog;
  win32::FileSystem files;
  std::vector<double> reads, stamps, cached;
  std::size_t found = 0;
  for (int run = 0; run < 5; ++run) {
    reads.push_back(bench::Seconds([&] { found = GatherApps(catalog).size(); }));
    stamps.push_back(bench::Seconds([&] { catalog.Stamp(); }));
  }
  // Written as a launcher writes it, with the Start menu's stamp: the launchers below take it.
  LoadApps(files, catalog, [](const std::vector<AppEntry>&, bool) {});
  const fs::path cache = catalog.CacheFolder();
  for (int run = 0; run < 5; ++run)
    cached.push_back(bench::Seconds([&] { ReadAppCache(files, cache); }));
  if (!ReadAppCache(files, cache)) std::exit((std::fprintf(stderr, "no cache written\n"), 1));

  const LRESULT all = kApps, some = (kApps + 25) / 26;  // "a" offers these; "ab" one in 26
  std::vector<double> first, loaded;
  const fs::path scratch = fs::temp_directory_path() / "qg-apps-bench";
  fs::create_directories(scratch);
  for (int run = 0; run < 7; ++run) {
    Launcher l(scratch);
    first.push_back(l.Answer(L'a', all));  // the moment the window shows: the cache not yet read
    loaded.push_back(l.Answer(L'b', some));
  }
  const double target = 50;
  std::printf("Installed apps, %d shortcuts in the Start menu (%zu apps found)\n", kApps, found);
  std::printf("  cold read of the shortcuts, first run:    %9s (median of 5: %s)\n",
              bench::Duration(reads[0]).c_str(), bench::Duration(bench::Median(reads)).c_str());
  std::printf("  Start menu's stamp, median of 5:           %9s\n",
              bench::Duration(bench::Median(stamps)).c_str());
  std::printf("  cache read, median of 5:                   %9s\n",
              bench::Duration(bench::Median(cached)).c_str());
  std::printf("  first answer, key as the window shows:   %8.1f ms  (%.2fx the %.0f ms target)\n",
              bench::Median(first), bench::Median(first) / target, target);
  std::printf("  answer to a key, apps cached and read:   %8.1f ms  (%.2fx the %.0f ms target)\n",
              bench::Median(loaded), bench::Median(loaded) / target, target);
  return 0;
}
