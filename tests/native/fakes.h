// Recording stand-ins for the launch core's surroundings, and an in-memory file system whose
// every operation can be made to fail.
#pragma once

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "core/launch_core.h"
#include "core/ports.h"

namespace quillgate::testing {

namespace fs = std::filesystem;

inline bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

class FakeCommandBox final : public ICommandBox {
 public:
  std::vector<std::string> items;
  std::string text;

  std::string GetText() const override { return text; }
  void SetText(const std::string& value) override { text = value; }
  void AddString(const char* item) override { items.push_back(item); }
  bool FindStringExact(const std::string& value) const override {
    return std::any_of(items.begin(), items.end(),
                       [&](const std::string& item) { return SameIgnoringCase(item, value); });
  }
};

// What the core put in the launch record, copied out while its pointers were still valid.
struct RecordedLaunch {
  std::uint32_t cbSize = 0;
  std::uint32_t fMask = 0;
  bool hwndNull = false;
  bool verbNull = false;
  std::string verb;
  std::string file;
  bool parametersNull = false;
  std::string parameters;
  std::string directory;
  std::int32_t nShow = 0;
  bool hInstAppNull = false;
};

class FakeShell final : public IShell {
 public:
  bool accepts = true;
  std::string systemDirectory = R"(C:\Windows\system32)";
  std::vector<RecordedLaunch> launches;

  CommandParts SplitArguments(const std::string& command) override {
    return SplitCommandLine(command);
  }
  std::string SystemDirectory() override { return systemDirectory; }
  bool Execute(const LaunchRequest& request) override {
    RecordedLaunch r;
    r.cbSize = request.cbSize;
    r.fMask = request.fMask;
    r.hwndNull = request.hwnd == nullptr;
    r.verbNull = request.lpVerb == nullptr;
    if (request.lpVerb) r.verb = request.lpVerb;
    if (request.lpFile) r.file = request.lpFile;
    r.parametersNull = request.lpParameters == nullptr;
    if (request.lpParameters) r.parameters = request.lpParameters;
    if (request.lpDirectory) r.directory = request.lpDirectory;
    r.nShow = request.nShow;
    r.hInstAppNull = request.hInstApp == nullptr;
    launches.push_back(r);
    return accepts;
  }
};

class FakeNotifier final : public INotifier {
 public:
  std::vector<std::string> messages;
  std::vector<std::string> reports;

  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ReportFailure(const std::string& text) override { reports.push_back(text); }
};

// Files and folders held in maps. Failures are injected per path or per operation.
class MemoryFileSystem final : public IFileSystem {
 public:
  fs::path program = "/apps/quillgate";
  fs::path documents = "/home/user/Documents";
  std::map<fs::path, std::string> files;
  std::set<fs::path> folders;

  // Injected failures.
  std::set<fs::path> existsThrows;
  std::set<fs::path> unreadable;
  std::map<fs::path, std::error_code> claimFails;
  int failingWrites = 0;  // how many of the next writes fail
  bool moveFails = false;

  // What was asked of it.
  int documentsQueries = 0;
  std::vector<fs::path> claimed;
  std::set<fs::path> held;

  fs::path ProgramHistory() const { return program / "quillgate.ini"; }
  fs::path ProgramTemporary() const { return program / "quillgate.inf"; }
  fs::path DocumentsHistory() const { return documents / "quillgate.ini"; }
  fs::path DocumentsTemporary() const { return documents / "quillgate.inf"; }

  fs::path ProgramFolder() override { return program; }
  fs::path DocumentsFolder() override {
    ++documentsQueries;
    return documents;
  }
  bool Exists(const fs::path& path) override {
    if (existsThrows.count(path)) {
      throw fs::filesystem_error("exists", path,
                                 std::make_error_code(std::errc::permission_denied));
    }
    return files.count(path) || folders.count(path);
  }
  ReadResult ReadWhole(const fs::path& path, std::string& contents,
                       std::error_code& error) override {
    contents.clear();
    if (unreadable.count(path) || folders.count(path)) {
      error = std::make_error_code(std::errc::permission_denied);
      return ReadResult::Failed;
    }
    const auto found = files.find(path);
    if (found == files.end()) {
      error = std::make_error_code(std::errc::no_such_file_or_directory);
      return ReadResult::Missing;
    }
    contents = found->second;
    error.clear();
    return ReadResult::Ok;
  }
  std::unique_ptr<ITemporaryFile> ClaimTemporary(const fs::path& path,
                                                 std::error_code& error) override;

 private:
  class Temporary;
};

class MemoryFileSystem::Temporary final : public ITemporaryFile {
 public:
  Temporary(MemoryFileSystem& owner, fs::path path)
      : owner_(owner), path_(std::move(path)), leftover_(owner.files[path_]) {
    owner_.held.insert(path_);
  }
  ~Temporary() override { owner_.held.erase(path_); }

  const fs::path& Path() const override { return path_; }
  const std::string& Leftover() const override { return leftover_; }
  std::error_code Write(const std::string& content) override {
    if (owner_.failingWrites > 0) {
      --owner_.failingWrites;
      // A disk that fills up part way leaves a torn file behind.
      owner_.files[path_] = content.substr(0, content.size() / 2);
      return std::make_error_code(std::errc::no_space_on_device);
    }
    owner_.files[path_] = content;
    return {};
  }
  std::error_code MoveOver(const fs::path& target) override {
    if (owner_.moveFails) return std::make_error_code(std::errc::permission_denied);
    owner_.files[target] = owner_.files[path_];
    owner_.files.erase(path_);
    moved_ = true;
    return {};
  }
  void Remove() override {
    if (!moved_) owner_.files.erase(path_);
    moved_ = true;
  }

 private:
  MemoryFileSystem& owner_;
  fs::path path_;
  std::string leftover_;
  bool moved_ = false;
};

inline std::unique_ptr<ITemporaryFile> MemoryFileSystem::ClaimTemporary(const fs::path& path,
                                                                        std::error_code& error) {
  claimed.push_back(path);
  if (const auto fails = claimFails.find(path); fails != claimFails.end()) {
    error = fails->second;
    return nullptr;
  }
  if (held.count(path)) {
    error = std::make_error_code(std::errc::device_or_resource_busy);
    return nullptr;
  }
  if (folders.count(path)) {
    error = std::make_error_code(std::errc::is_a_directory);
    return nullptr;
  }
  error.clear();
  return std::make_unique<Temporary>(*this, path);
}

// The core wired to fakes, as one object per test.
struct CoreWithFakes {
  MemoryFileSystem files;
  FakeShell shell;
  FakeNotifier notifier;
  FakeCommandBox box;
  LaunchCore core{files, shell, notifier};
};

}  // namespace quillgate::testing
