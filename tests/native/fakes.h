// Recording stand-ins for the core's surroundings: a command box, a shell, a notifier, and an
// in-memory file system that can be made to fail at any step of a rewrite.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "core/launch_core.h"

namespace quillgate::testing {
namespace fs = std::filesystem;

struct Box final : ICommandBox {
  std::string GetText() const override { return text; }
  void SetText(const std::string& value) override { text = value; }
  void AddString(const char* item) override { items.emplace_back(item); }
  bool FindStringExact(const std::string& value) const override {
    const auto same = [&](const std::string& item) {
      return std::equal(item.begin(), item.end(), value.begin(), value.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
      });
    };
    return std::any_of(items.begin(), items.end(), same);
  }
  std::vector<std::string> items;
  std::string text;
};

struct Notes final : INotifier {
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ReportFailure(const std::string& text) override { failures.push_back(text); }
  std::vector<std::string> messages, failures;
};

enum class Fault { None, Exists, Read, Claim, ClaimBusy, Write, Move };

struct Files final : IFileSystem {
  fs::path ProgramFolder() override { return "/program"; }
  fs::path DocumentsFolder() override { return documents; }
  bool Exists(const fs::path& path) override {
    if (fault == Fault::Exists) throw fs::filesystem_error("exists", path, Error());
    return data.count(path) != 0;
  }
  ReadResult ReadWhole(const fs::path& path, std::string& out, std::error_code& error) override {
    if (fault == Fault::Read) return error = Error(), ReadResult::Failed;
    const auto found = data.find(path);
    if (found == data.end()) return ReadResult::Missing;
    out = found->second;
    return ReadResult::Ok;
  }
  std::unique_ptr<ITemporaryFile> ClaimTemporary(const fs::path& path,
                                                 std::error_code& error) override {
    if (fault == Fault::ClaimBusy)
      return error = std::make_error_code(std::errc::device_or_resource_busy), nullptr;
    if (fault == Fault::Claim && path.parent_path() == ProgramFolder())
      return error = Error(), nullptr;
    return std::make_unique<Temporary>(*this, path, data[path]);
  }

  struct Temporary final : ITemporaryFile {
    Temporary(Files& owner, fs::path at, std::string old) : files(owner), path(at), leftover(old) {}
    const fs::path& Path() const override { return path; }
    const std::string& Leftover() const override { return leftover; }
    std::error_code Write(const std::string& content) override {
      const bool fails = files.fault == Fault::Write && !files.wrote++;
      files.data[path] = fails ? content.substr(0, content.size() / 2) : content;
      return fails ? Error() : std::error_code();
    }
    std::error_code MoveOver(const fs::path& target) override {
      if (files.fault == Fault::Move) return Error();
      files.data[target] = files.data[path];
      files.data.erase(path);
      return {};
    }
    void Remove() override { files.data.erase(path); }
    Files& files;
    fs::path path;
    std::string leftover;
  };

  static std::error_code Error() { return std::make_error_code(std::errc::io_error); }
  std::map<fs::path, std::string> data;
  fs::path documents = "/documents";
  Fault fault = Fault::None;
  int wrote = 0;
};

// The shell as the core drives it, with the portable split in place of shlwapi's.
struct Shell final : IShell {
  CommandParts SplitArguments(const std::string& command) override {
    return SplitCommandLine(command);
  }
  std::string SystemDirectory() override { return "C:\\Windows\\system32"; }
  bool Execute(const LaunchRequest& r) override {
    request = r;
    verb = r.lpVerb ? r.lpVerb : "(default)";
    launched = std::string(r.lpFile) + "|" + r.lpParameters + "|" + r.lpDirectory;
    return accept;
  }
  bool accept = true;
  LaunchRequest request{};
  std::string verb, launched;
};

// The core with a recording shell and notifier, over the files a test chooses.
struct Rig {
  explicit Rig(IFileSystem& files) : core(files, shell, notes) {}
  Shell shell;
  Notes notes;
  LaunchCore core;
};

}  // namespace quillgate::testing
