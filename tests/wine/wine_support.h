// What the tests over the real Windows services share with the helper programs they start:
// scratch folders, file access that does not go through the code under test, the real file
// services aimed at two chosen folders, and child processes.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/launch_core.h"
#include "core/ports.h"
#include "platform/win32_files.h"
#include "tests/support/relocated_file_system.h"

namespace quillgate::testing {
namespace fs = std::filesystem;

// The \\?\ form of an absolute path, so the helpers reach folders deeper than MAX_PATH.
std::wstring LongForm(const fs::path& path);

// Creates the folder and any missing parents; false when that fails.
bool MakeFolders(const fs::path& path);
bool WriteBytes(const fs::path& path, const std::string& bytes);
// Nothing when the file cannot be opened.
std::optional<std::string> ReadBytes(const fs::path& path);
bool Present(const fs::path& path);
void RemoveTree(const fs::path& path);

// A fresh, uniquely named folder inside `parent` (by default the prefix's temporary folder),
// removed with all it holds when the object goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(const fs::path& parent = DefaultParent());
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const fs::path& Path() const { return path_; }
  fs::path operator/(const fs::path& name) const { return path_ / name; }
  static fs::path DefaultParent();

 private:
  fs::path path_;
};

using FolderPair = RelocatedFileSystem;

// For the recording-only uses of the core, which never launch.
class NoShell final : public IShell {
 public:
  CommandParts SplitArguments(const std::string&) override { return {}; }
  std::string SystemDirectory() override { return {}; }
  bool Execute(const LaunchRequest&) override { return false; }
};

class RecordingNotifier final : public INotifier {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ReportFailure(const std::string& text) override { reports.push_back(text); }

  std::vector<std::string> messages;
  std::vector<std::string> reports;
};

// The core over real files for the tests that only record: no shell, messages kept.
struct RecordingCore {
  explicit RecordingCore(IFileSystem& files) : core(files, shell, notifier) {}

  NoShell shell;
  RecordingNotifier notifier;
  LaunchCore core;
};

class RecordingBox final : public ICommandBox {
 public:
  std::string GetText() const override { return text; }
  void SetText(const std::string& value) override { text = value; }
  void AddString(const char* item) override { items.push_back(item); }
  bool FindStringExact(const std::string& value) const override;

  std::string text;
  std::vector<std::string> items;
};

// Names the start gate that stepper processes wait at, so that several start recording at
// the same moment: each releases the semaphore <name>-ready once and then waits for the
// event <name>-go.
constexpr const wchar_t kStepperGateVariable[] = L"QG_STEPPER_GATE";

// Where a test puts the documents folder: on the program folder's volume, or on another one
// (a tmpfs seen through Wine's Z: drive), where a rewrite has to end in a copy.
enum class DocumentsVolume { Same, Other };
void PrintTo(DocumentsVolume volume, std::ostream* out);
// The folder to make the documents folder in; empty when there is no other volume here.
fs::path DocumentsParent(DocumentsVolume volume);

// The folder this test program was started from, where the helper programs are built too.
fs::path OwnFolder();

// A started child process; it is ended if it is still running when the object goes.
class Child {
 public:
  explicit Child(const std::wstring& commandLine);
  Child(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();

  bool Started() const { return process_ != nullptr; }
  // The exit code, or nothing when the process had not ended within `limitMs` (it is then
  // ended, so that a hanging helper fails the test instead of stalling the run).
  std::optional<DWORD> Wait(DWORD limitMs);

 private:
  HANDLE process_ = nullptr;
};

// A command-line argument quoted so that CommandLineToArgvW gives it back unchanged.
std::wstring Quote(const std::wstring& argument);

// The unix path the Wine runner uses as Windows sees it (through wine_get_dos_file_name).
fs::path FromUnixPath(const char* unixPath);

}  // namespace quillgate::testing
