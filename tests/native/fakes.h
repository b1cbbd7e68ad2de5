// Recording stand-ins for the core's surroundings: a command box, a shell, a notifier, and an
// in-memory file system that can be made to fail at any step of a rewrite.
#pragma once

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "core/history_index.h"
#include "core/launch_core.h"

namespace quillgate::testing {
namespace fs = std::filesystem;

struct Box final : ICommandBox {
  std::string GetText() const override { return text; }
  void SetText(const std::string& value) override { text = value; }
  void AddString(const char* item) override { items.emplace_back(item); }
  bool FindStringExact(const std::string& value) const override {
    return std::any_of(items.begin(), items.end(),
                       [&](const std::string& i) { return !strcasecmp(i.c_str(), value.c_str()); });
  }
  std::vector<std::string> items;
  std::string text;
};

struct Notes final : INotifier {
  void ShowMessage(const messages::Message& message) override { messages.push_back(message); }
  void ReportFailure(const std::string& text) override { failures.push_back(text); }
  std::vector<messages::Message> messages;
  std::vector<std::string> failures;
};

enum class Fault { None, Exists, Read, Held, Memory, Claim, ClaimBusy, Write, Move };

struct Files final : IFileSystem {
  static std::error_code Error() { return std::make_error_code(std::errc::io_error); }
  static std::error_code Busy() { return std::make_error_code(std::errc::device_or_resource_busy); }
  fs::path ProgramFolder() override { return "/program"; }
  fs::path DocumentsFolder() override { return documents; }
  bool Exists(const fs::path& path) override {
    if (fault == Fault::Exists) throw fs::filesystem_error("exists", path, Error());
    return data.count(path) != 0;
  }
  ReadResult ReadWhole(const fs::path& path, std::string& out, std::error_code& error) override {
    if (fault == Fault::Read) return error = Error(), ReadResult::Failed;
    if (fault == Fault::Held) return error = Busy(), ReadResult::Failed;
    if (fault == Fault::Memory) throw std::bad_alloc();
    if (!data.count(path)) return ReadResult::Missing;
    return out = data[path], ReadResult::Ok;
  }
  ReadResult ReadTail(const fs::path& path, std::uint64_t kept, std::size_t bytes, std::string& out,
                      std::error_code& error) override {
    const ReadResult result = ReadWhole(path, out, error);
    out.resize(out.size() - std::min<std::size_t>(out.size(), kept));
    out.erase(0, out.size() - std::min(out.size(), bytes));
    tailBytes += out.size();
    return result;
  }
  // With `piece` set, files are seen in place: each view a block of its own that ends where the
  // view does, so that the sanitizers catch a read past a view or after it was let go.
  ReadResult MapFile(const fs::path& path, std::unique_ptr<IMappedFile>& file,
                     std::error_code& error) override {
    std::string text;
    const ReadResult result = ReadWhole(path, text, error);
    if (result == ReadResult::Ok && piece && !text.empty())
      file = std::make_unique<Mapped>(*this, std::move(text));
    return result;
  }
  struct Mapped final : IMappedFile {
    Mapped(Files& f, std::string t) : files(f), text(std::move(t)) {}
    std::uint64_t Size() const override { return text.size(); }
    std::size_t PieceSize() const override { return files.piece; }
    const char* Map(std::uint64_t offset, std::size_t length) override {
      if (ended || offset % files.piece || offset + length > text.size()) std::abort();
      ++files.views;
      return std::copy_n(text.data() + offset, length, new char[length]) - length;
    }
    void EndMapping() override { ended = true; }
    void Unmap(const char* view) override { --files.views, delete[] view; }
    Files& files;
    std::string text;
    bool ended = false;
  };
  // Latin-1 stands in for the system's code page.
  std::string DecodeLegacy(std::string_view line) override {
    std::string text;
    for (const unsigned char c : line)
      text +=
          c < 0x80 ? std::string(1, c) : std::string{char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    return text;
  }
  std::unique_ptr<ITemporaryFile> ClaimTemporary(const fs::path& path,
                                                 std::error_code& error) override {
    if (fault == Fault::ClaimBusy) error = Busy();
    if (fault == Fault::Claim && path.parent_path() == ProgramFolder()) error = Error();
    return error ? nullptr : std::make_unique<Temporary>(*this, path, data[path]);
  }

  struct Temporary final : ITemporaryFile {
    Temporary(Files& f, fs::path at, std::string old) : files(f), path(at), leftover(old) {}
    const fs::path& Path() const override { return path; }
    const std::string& Leftover() const override { return leftover; }
    std::error_code Write(const std::string& content) override {
      const bool fails = files.fault == Fault::Write && !files.wrote++;  // torn, the first time
      files.data[path] = fails ? content.substr(0, content.size() / 2) : content;
      return fails ? Error() : std::error_code();
    }
    std::error_code MoveOver(const fs::path& target) override {
      if (files.fault == Fault::Move) return Error();
      files.data[target] = files.data.extract(path).mapped();
      return {};
    }
    void Remove() override { files.data.erase(path); }
    Files& files;
    fs::path path;
    std::string leftover;
  };

  std::map<fs::path, std::string> data;
  fs::path documents = "/documents";
  Fault fault = Fault::None;
  int wrote = 0;
  std::size_t piece = 0;
  int views = 0;              // mapped and not yet let go
  std::size_t tailBytes = 0;  // read from the ends of files
};

// The shell as the core drives it, with the portable split in place of shlwapi's.
struct Shell final : IShell {
  CommandParts SplitArguments(const std::string& command) override {
    return SplitCommandLine(command);
  }
  std::string SystemDirectory() override { return "C:\\Windows\\system32"; }
  std::optional<std::string> Variable(const std::string& name) override {
    const auto found = variables.find(name);
    return found == variables.end() ? std::nullopt : std::optional(found->second);
  }
  bool Execute(const LaunchRequest& r) override {
    launched =
        (r.verb.empty() ? "-" : r.verb) + "|" + r.file + "|" + r.parameters + "|" + r.directory;
    return accept;
  }
  bool accept = true;
  std::map<std::string, std::string> variables;
  std::string launched;
};

// The core with recording files, shell and notifier.
struct Rig {
  Rig() = default;
  explicit Rig(IFileSystem& real) : disk(real) {}  // or over real files
  // The load the launcher's loader runs: the last command into the edit field, then the lines.
  Box Load() {
    Box box;
    const FirstPaint first = ReadFirstPaint(disk);
    if (first.last) box.SetText(*first.last);
    HistoryLines lines;
    if (!first.readable || LoadLines(disk, first.path, lines) == ReadResult::Failed)
      return core.ReportUnreadableHistory(), box;
    for (std::size_t i = 0; i < lines.Count(); ++i) box.items.emplace_back(lines.Line(i));
    return box;
  }
  // Records as the dialog does: what could not be recorded is reported.
  RewriteOutcome Record(const std::string& command) {
    RewriteOutcome outcome = core.Record(command);
    core.ReportUnrecorded(command, outcome);
    return outcome;
  }
  // Forgets as the dialog does, telling the user.
  RewriteOutcome Forget(const std::string& command) {
    RewriteOutcome outcome = core.Forget(command);
    core.ReportForget(outcome);
    return outcome;
  }
  Files files;
  IFileSystem& disk = files;
  Shell shell;
  Notes notes;
  LaunchCore core{disk, shell, notes};
};

}  // namespace quillgate::testing
