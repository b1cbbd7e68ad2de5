// How the history's load and rewrite compare with the least any program must do to read or
// durably copy the same file, and whether their cost grows in step with the number of lines.
//
//   qg_history_bench          full run: 1k, 10k and 100k lines
//   qg_history_bench --quick  a short smoke run
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "core/history_index.h"
#include "core/launch_core.h"

namespace quillgate {
namespace {

using bench::Duration;
using bench::Median;
using bench::Seconds;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class NullBox final : public ICommandBox {
 public:
  std::string GetText() const override { return {}; }
  void SetText(const std::string&) override {}
  void AddString(const char*) override {}
  bool FindStringExact(const std::string&) const override { return false; }
};

void Check(bool ok, const char* what) {
  if (!ok) {
    std::perror(what);
    std::exit(1);
  }
}

enum class Text { Ascii, Utf8, Legacy };

// Command lines of the kinds people type into a Run box, 30 to 60 bytes each. Utf8: every fifth
// line names a Cyrillic and Japanese folder; Legacy: also every hundredth line in the old
// single-byte code page, as earlier versions wrote it.
std::string MakeHistory(int lines, Text kind = Text::Ascii) {
  std::string text;
  unsigned state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % 100000;
  };
  char line[128];
  for (int i = 0; i < lines; ++i) {
    const unsigned a = next(), b = next();
    switch (i % 5) {
      case 0:
        std::snprintf(line, sizeof line, "\"C:\\Program Files\\Vendor%u\\app.exe\" --open %u", a,
                      b);
        break;
      case 1:
        std::snprintf(line, sizeof line,
                      kind == Text::Ascii
                          ? "notepad C:\\Users\\ann\\Documents\\notes-%u.txt"
                          : "notepad C:\\Users\\\u0430\u043d\u044f\\\u65e5\u672c\\%u.txt",
                      a);
        break;
      case 2:
        std::snprintf(line, sizeof line, "https://intranet.example.com/wiki/page/%u", a);
        break;
      case 3:
        std::snprintf(line, sizeof line, "cmd /k cd /d D:\\projects\\repo%u\\build", a);
        break;
      default:
        std::snprintf(line, sizeof line, "\\\\fileserver\\share%u\\reports\\q%u", a, b);
        break;
    }
    text += line;
    if (kind == Text::Legacy && i % 100 == 99) text += "-caf\xE9";
    text += "\r\n";
  }
  return text;
}

void WriteWhole(const fs::path& path, const std::string& contents, bool sync) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  Check(fd >= 0, "open for writing");
  std::size_t done = 0;
  while (done < contents.size()) {
    const ssize_t wrote = ::write(fd, contents.data() + done, contents.size() - done);
    Check(wrote > 0, "write");
    done += static_cast<std::size_t>(wrote);
  }
  if (sync) Check(::fsync(fd) == 0, "fsync");
  ::close(fd);
}

std::string ReadWhole(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  Check(fd >= 0, "open for reading");
  struct stat info {};
  Check(::fstat(fd, &info) == 0, "fstat");
  // Sized from the file, read until the end shows (as any whole-file reader must).
  std::string contents(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t done = 0;
  for (;;) {
    const ssize_t got = ::read(fd, contents.data() + done, contents.size() - done);
    Check(got >= 0, "read");
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
    if (done == contents.size()) contents.resize(done * 2);
  }
  ::close(fd);
  contents.resize(done);
  return contents;
}

// The file services the core needs, over POSIX calls, with both folders in one: the same steps
// as the real ones (read whole, write the temporary file and flush it to disk, rename it over
// the history), without the waiting and recovery that a benchmark never meets.
class BenchFiles final : public IFileSystem {
 public:
  explicit BenchFiles(fs::path folder) : folder_(std::move(folder)) {}
  fs::path ProgramFolder() override { return folder_; }
  fs::path DocumentsFolder() override { return folder_; }
  bool Exists(const fs::path& path) override { return fs::exists(path); }
  ReadResult ReadWhole(const fs::path& path, std::string& contents, std::error_code&) override {
    if (!fs::exists(path)) return ReadResult::Missing;
    contents = quillgate::ReadWhole(path);
    return ReadResult::Ok;
  }
  ReadResult ReadTail(const fs::path& path, std::uint64_t kept, std::size_t bytes,
                      std::string& tail, std::error_code& error) override {
    const ReadResult result = ReadWhole(path, tail, error);
    tail.resize(tail.size() - std::min<std::size_t>(tail.size(), kept));
    tail.erase(0, tail.size() - std::min(tail.size(), bytes));
    return result;
  }
  std::string DecodeLegacy(std::string_view line) override {  // Latin-1
    std::string text;
    for (const unsigned char c : line) {
      if (c >= 0x80) text += static_cast<char>(0xC0 | c >> 6);
      text += static_cast<char>(c >= 0x80 ? 0x80 | (c & 0x3F) : c);
    }
    return text;
  }
  std::unique_ptr<ITemporaryFile> ClaimTemporary(const fs::path& path, std::error_code&) override {
    return std::make_unique<Temporary>(path);
  }

 private:
  struct Temporary final : ITemporaryFile {
    explicit Temporary(fs::path at) : path(std::move(at)) {}
    const fs::path& Path() const override { return path; }
    const std::string& Leftover() const override { return leftover; }
    std::error_code Write(const std::string& content) override {
      WriteWhole(path, content, true);
      return {};
    }
    std::error_code MoveOver(const fs::path& target) override {
      std::error_code error;
      fs::rename(path, target, error);
      return error;
    }
    void Remove() override { fs::remove(path); }
    fs::path path;
    std::string leftover;
  };
  fs::path folder_;
};

// Median wall time of `runs` calls, after one call to warm the caches.
double MedianSeconds(int runs, const std::function<void()>& body) {
  body();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(Seconds(body));
  return Median(times);
}

// Medians of two bodies run in turns, so both meet the same disk and cache conditions.
std::pair<double, double> PairedMedians(int runs, const std::function<void()>& measured,
                                        const std::function<void()>& baseline) {
  measured();
  baseline();
  std::vector<double> a, b;
  for (int i = 0; i < runs; ++i) {
    a.push_back(Seconds(measured));
    b.push_back(Seconds(baseline));
  }
  return {Median(a), Median(b)};
}

struct Row {
  int lines;
  double load, rawRead, rewrite, copy, compose;
  double utf8Ratio, legacyRatio;  // load against a raw read of the same file
};

Row Measure(const fs::path& folder, int lines, int runs) {
  // The history lies beside the "executable", so the rewrite renames within one folder.
  BenchFiles files(folder);
  bench::NullShell shell;
  bench::FailOnReport notifier;
  LaunchCore core(files, shell, notifier);
  const fs::path history = folder / DataFileName(DataFile::History);
  const fs::path copy = folder / "copy.ini";
  Row row{lines, 0, 0, 0, 0, 0, 0, 0};
  NullBox box;
  volatile std::size_t sink = 0;
  // The load and a raw read of the same file, in turns.
  const auto loadAndRead = [&] {
    return PairedMedians(
        runs,
        [&] {  // as the dialog loads it: the last command, then the lines into the list
          box.SetText(ReadFirstPaint(files).last.value_or(""));
          HistoryLines lines;
          LoadLines(files, history, lines);
          for (std::size_t i = 0; i < lines.Count(); ++i)
            box.AddString(std::string(lines.Line(i)).c_str());
        },
        [&] { sink = sink + ReadWhole(history).size(); });
  };
  for (const Text kind : {Text::Utf8, Text::Legacy}) {
    WriteWhole(history, MakeHistory(lines, kind), true);
    const auto [load, raw] = loadAndRead();
    (kind == Text::Utf8 ? row.utf8Ratio : row.legacyRatio) = load / raw;
  }
  const std::string text = MakeHistory(lines);
  WriteWhole(history, text, true);

  // Two commands from the middle of the file take turns, so each rewrite moves one line to
  // the end and the file keeps its size.
  const std::string relaunch[2] = {
      text.substr(0, text.find("\r\n")),
      text.substr(text.find("\r\n") + 2,
                  text.find("\r\n", text.find("\r\n") + 2) - text.find("\r\n") - 2)};

  std::tie(row.load, row.rawRead) = loadAndRead();
  int turn = 0;
  std::tie(row.rewrite, row.copy) = PairedMedians(
      runs, [&] { core.Record(relaunch[turn++ % 2]); },
      [&] { WriteWhole(copy, ReadWhole(history), true); });
  const std::string current = ReadWhole(history);
  const LegacyDecoder decode = [&](std::string_view line) { return files.DecodeLegacy(line); };
  row.compose = MedianSeconds(
      runs, [&] { sink = sink + ComposeHistory(current, relaunch[turn++ % 2], decode).size(); });
  return row;
}

int Run(bool quick) {
  std::string pattern = (fs::temp_directory_path() / "qg-bench-XXXXXX").string();
  Check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  const fs::path folder = pattern;

  struct Size {
    int lines;
    int runs;
  };
  const std::vector<Size> sizes = quick ? std::vector<Size>{{1000, 5}}
                                        : std::vector<Size>{{1000, 101}, {10000, 41}, {100000, 11}};

  std::printf("History load and rewrite (median wall time; ratio = history / plain file work)\n");
  std::printf(
      "load: ASCII history; utf-8, legacy: the load of a history with non-ASCII UTF-8\n"
      "lines, and with old code-page lines too, against a raw read of the same file\n");
  std::printf("%8s | %10s %10s %6s | %10s %10s %6s | %8s %8s\n", "lines", "load", "raw read",
              "ratio", "rewrite", "copy+fsync", "ratio", "utf-8", "legacy");
  std::vector<Row> rows;
  bool targetsMet = true;
  for (const Size& size : sizes) {
    const Row row = Measure(folder, size.lines, size.runs);
    rows.push_back(row);
    const double loadRatio = row.load / row.rawRead;
    const double rewriteRatio = row.rewrite / row.copy;
    targetsMet = targetsMet && loadRatio <= 3.0 && rewriteRatio <= 3.0;
    std::printf("%8d | %10s %10s %5.2fx | %10s %10s %5.2fx | %7.2fx %7.2fx\n", row.lines,
                Duration(row.load).c_str(), Duration(row.rawRead).c_str(), loadRatio,
                Duration(row.rewrite).c_str(), Duration(row.copy).c_str(), rewriteRatio,
                row.utf8Ratio, row.legacyRatio);
  }

  std::printf("\nTime per line (linear growth keeps these flat; the rewrite includes one fsync)\n");
  std::printf("%8s | %10s %10s %14s\n", "lines", "load", "rewrite", "compose only");
  for (const Row& row : rows) {
    std::printf("%8d | %10s %10s %14s\n", row.lines, Duration(row.load / row.lines).c_str(),
                Duration(row.rewrite / row.lines).c_str(),
                Duration(row.compose / row.lines).c_str());
  }
  if (rows.size() > 1) {
    std::printf("growth per 10x lines:");
    for (std::size_t i = 1; i < rows.size(); ++i) {
      std::printf("  load %.1fx, rewrite %.1fx, compose %.1fx", rows[i].load / rows[i - 1].load,
                  rows[i].rewrite / rows[i - 1].rewrite, rows[i].compose / rows[i - 1].compose);
      if (i + 1 < rows.size()) std::printf(";");
    }
    std::printf("\n");
  }

  const std::size_t megabyte = quick ? 1 << 17 : 1 << 20;
  const std::string spaces(megabyte, ' ');
  const std::string padded = spaces + "calc" + spaces;
  volatile std::size_t sink = 0;
  const int trimRuns = quick ? 3 : 51;
  const double trimSpaces =
      MedianSeconds(trimRuns, [&] { sink = sink + TrimCommand(spaces).size(); });
  const double trimPadded =
      MedianSeconds(trimRuns, [&] { sink = sink + TrimCommand(padded).size(); });
  const double scan = MedianSeconds(trimRuns, [&] {
    sink = sink + static_cast<std::size_t>(std::count(spaces.begin(), spaces.end(), ' '));
  });
  std::printf(
      "\nTrimming %zu KiB of spaces: %s (spaces only), %s (on both sides of a command); "
      "one counting pass over them: %s, ratio %.2fx\n",
      megabyte / 1024, Duration(trimSpaces).c_str(), Duration(trimPadded).c_str(),
      Duration(scan).c_str(), trimSpaces / scan);

  std::printf("\nTargets (load <= 3x raw read, rewrite <= 3x copy+fsync): %s\n",
              targetsMet ? "met" : "NOT met");
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
