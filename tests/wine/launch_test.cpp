// A launch through the real shell, from the box's text to the started program and the history.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/launch_core.h"
#include "platform/win32_shell.h"
#include "wine_support.h"

namespace quillgate {
namespace {
namespace fs = std::filesystem;
using testing::Present;
using testing::ReadBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::vector<std::wstring> Arguments(const std::string& commandLine) {
  const int size = MultiByteToWideChar(CP_ACP, 0, commandLine.c_str(), -1, nullptr, 0);
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(CP_ACP, 0, commandLine.c_str(), -1, wide.data(), size);
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(wide.c_str(), &count);
  std::vector<std::wstring> arguments(argv, argv + count);
  LocalFree(argv);
  return arguments;
}

// With an X display the shell reports a failed launch in a message box of its own and waits
// until it is closed; without one it cannot show the box and returns at once. This closes
// such boxes, so the test runs the same either way, and counts them.
class ErrorBoxCloser {
 public:
  ErrorBoxCloser() : thread_([this] { Watch(); }) {}
  ~ErrorBoxCloser() { Stop(); }
  // Ends the watch; how many boxes it closed.
  std::size_t Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return closed_.size();
  }

 private:
  void Watch() {
    while (!stop_) {
      EnumWindows(&ErrorBoxCloser::Visit, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char type[32] = {};
    GetClassNameA(window, type, sizeof type);
    if (process == GetCurrentProcessId() && std::strcmp(type, "#32770") == 0 &&
        IsWindowVisible(window)) {
      PostMessageW(window, WM_COMMAND, IDOK, 0);
      reinterpret_cast<ErrorBoxCloser*>(self)->closed_.insert(window);
    }
    return TRUE;
  }

  std::atomic<bool> stop_{false};
  std::set<HWND> closed_;
  std::thread thread_;
};

class RealLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::MakeFolders(files.ProgramFolder()));
    ASSERT_TRUE(testing::MakeFolders(files.DocumentsFolder()));
    // The launched program inherits this and writes what it saw there.
    SetEnvironmentVariableW(L"QG_RECORDER_OUTPUT", record.c_str());
  }
  void TearDown() override { SetEnvironmentVariableW(L"QG_RECORDER_OUTPUT", nullptr); }

  std::optional<std::string> AwaitRecord() {
    for (int i = 0; i < 1500; ++i) {
      if (auto bytes = ReadBytes(record)) return bytes;
      Sleep(20);
    }
    return std::nullopt;
  }

  testing::ScratchFolder scratch;
  testing::FolderPair files{scratch / "program", scratch / "documents"};
  win32::Shell shell;
  testing::RecordingNotifier notifier;
  LaunchCore core{files, shell, notifier};
  testing::RecordingBox box;
  fs::path record = scratch / "record.txt";
};

TEST_F(RealLaunch, TheProgramGetsItsArgumentsAndTheSystemFolderAndIsRecorded) {
  // A folder with a space, so that the quotes around the program matter.
  const fs::path folder = scratch / "launched program";
  ASSERT_TRUE(testing::MakeFolders(folder));
  const fs::path program = folder / "recorder.exe";
  ASSERT_TRUE(CopyFileW((testing::OwnFolder() / "recorder.exe").c_str(), program.c_str(), FALSE));
  char systemFolder[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(systemFolder, MAX_PATH), 0u);
  // The launcher's own working folder must not leak into the launch.
  wchar_t ownFolder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, ownFolder);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.Path().c_str()));

  std::string history;
  std::vector<std::string> added;
  for (const bool elevated : {false, true}) {
    SCOPED_TRACE(elevated ? "runas" : "default verb");
    DeleteFileW(record.c_str());
    const std::string last = elevated ? "elevated" : "plain";
    const std::string command = "\"" + program.string() + "\" alpha \"beta gamma\" " + last;
    box.text = "  " + command + "  ";
    ASSERT_TRUE(core.RunCommand(box, elevated));
    const std::optional<std::string> bytes = AwaitRecord();
    ASSERT_TRUE(bytes) << "the program did not run";
    const std::vector<std::string> lines = Lines(*bytes);
    ASSERT_EQ(lines.size(), 2u) << *bytes;

    const std::vector<std::wstring> arguments = Arguments(lines[0]);
    ASSERT_EQ(arguments.size(), 4u) << lines[0];
    EXPECT_EQ(lstrcmpiW(arguments[0].c_str(), program.c_str()), 0) << lines[0];
    EXPECT_EQ(arguments[1], L"alpha");
    EXPECT_EQ(arguments[2], L"beta gamma");
    EXPECT_EQ(fs::path(arguments[3]).string(), last);
    EXPECT_EQ(lstrcmpiA(lines[1].c_str(), systemFolder), 0) << lines[1];

    history += command + "\r\n";
    added.push_back(command);
    EXPECT_EQ(ReadBytes(files.DocumentsHistory()), history);
  }
  SetCurrentDirectoryW(ownFolder);
  EXPECT_EQ(box.items, added);
  EXPECT_FALSE(Present(files.ProgramTemporary()));
  EXPECT_TRUE(notifier.reports.empty()) << notifier.reports.front();
  EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(RealLaunch, AProgramThatIsNotThereIsRefusedAndNotRecorded) {
  const std::string command = "\"" + (scratch / "missing.exe").string() + "\" alpha";
  box.text = command;
  ErrorBoxCloser closer;
  EXPECT_FALSE(core.RunCommand(box, false));
  EXPECT_FALSE(core.RunCommand(box, true));
  RecordProperty("shell_error_boxes", static_cast<int>(closer.Stop()));
  EXPECT_EQ(box.items, std::vector<std::string>{command});
  EXPECT_FALSE(Present(files.DocumentsHistory()));
  EXPECT_FALSE(Present(files.ProgramHistory()));
  EXPECT_FALSE(Present(files.ProgramTemporary()));
  EXPECT_FALSE(Present(record));
  EXPECT_TRUE(notifier.reports.empty());
}

}  // namespace
}  // namespace quillgate
