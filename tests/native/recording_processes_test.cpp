// Whole recording processes over the real file services: several at once, and ones that die at
// each step of a rewrite.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/launch_core.h"
#include "fakes.h"
#include "scratch.h"

namespace quillgate {
namespace {

namespace fs = std::filesystem;
using testing::FakeNotifier;
using testing::FakeShell;
using testing::ReadFile;
using testing::ScratchFileSystem;
using testing::ScratchFolder;
using testing::WriteFile;

// Splits a history written by the program; a line end other than CR LF fails the test.
std::vector<std::string> Lines(const std::string& history) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < history.size()) {
    const auto end = history.find("\r\n", pos);
    if (end == std::string::npos) {
      ADD_FAILURE() << "unterminated tail: " << history.substr(pos);
      break;
    }
    lines.push_back(history.substr(pos, end - pos));
    EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << lines.back();
    pos = end + 2;
  }
  return lines;
}

class Recording : public ::testing::Test {
 protected:
  ScratchFolder program;
  ScratchFolder documents;
  const fs::path history = documents / "quillgate.ini";

  // Records one command the way a launcher process does; the number of failure reports.
  int Record(const std::string& command) {
    ScratchFileSystem files(program.Path(), documents.Path());
    FakeShell shell;
    FakeNotifier notifier;
    LaunchCore(files, shell, notifier).UpdateHistory(command);
    for (const std::string& report : notifier.reports) ADD_FAILURE() << report;
    return static_cast<int>(notifier.reports.size());
  }
};

TEST_F(Recording, ProcessesRecordingAtOnceLoseNothingAndTearNothing) {
  constexpr int kProcesses = 4;
  constexpr int kCommandsEach = 25;
  auto command = [](int process, int n) {
    return "\"C:\\Tools " + std::to_string(process) + "\\run.exe\" --job " + std::to_string(n);
  };
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(testing::StartChild([&, p] {
      ::close(start[1]);
      char go;
      (void)!::read(start[0], &go, 1);  // all begin together once the pipe closes
      int failures = 0;
      for (int n = 0; n < kCommandsEach; ++n) failures += Record(command(p, n)) ? 1 : 0;
      return failures;
    }));
  }
  ::close(start[0]);
  ::close(start[1]);
  for (const pid_t child : children) EXPECT_EQ(testing::WaitForChild(child), 0);

  std::map<std::string, int> seen;
  for (const std::string& line : Lines(ReadFile(history))) ++seen[line];
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kProcesses * kCommandsEach));
  for (int p = 0; p < kProcesses; ++p) {
    for (int n = 0; n < kCommandsEach; ++n) EXPECT_EQ(seen[command(p, n)], 1) << command(p, n);
  }
}

TEST_F(Recording, ProgramFolderThatCannotHoldTheTemporaryRecordsBesideTheHistory) {
  ScratchFileSystem files(program / "gone", documents.Path());
  FakeShell shell;
  FakeNotifier notifier;
  WriteFile(history, "a\r\n");
  LaunchCore(files, shell, notifier).UpdateHistory("b");
  EXPECT_TRUE(notifier.reports.empty());
  EXPECT_EQ(ReadFile(history), "a\r\nb\r\n");
  EXPECT_FALSE(fs::exists(documents / "quillgate.inf"));
}

// A recording process dies right after one step of its rewrite.

UpdateStep g_dieAt;
void DieAtChosenStep(UpdateStep step) {
  if (step == g_dieAt) ::_exit(42);
}

struct Interruption {
  UpdateStep step;
  const char* before;  // null: no history yet
  const char* left;    // null: still no history
  const char* next;    // after the following, uninterrupted update
};

void PrintTo(const Interruption& c, std::ostream* out) {
  *out << "step " << static_cast<int>(c.step) << (c.before ? " over a history" : " on a first run");
}

class InterruptedRecording : public Recording,
                             public ::testing::WithParamInterface<Interruption> {};

TEST_P(InterruptedRecording, LeavesAHistoryTheNextRecordingBuildsOn) {
  const Interruption& c = GetParam();
  if (c.before) WriteFile(history, c.before);
  const int status = testing::RunInChild([&] {
    g_dieAt = c.step;
    SetUpdateStepHookForTesting(DieAtChosenStep);
    Record("c");
    return 1;  // the step never came
  });
  ASSERT_EQ(status, 42);

  if (c.left) {
    ASSERT_TRUE(fs::exists(history));
    EXPECT_EQ(ReadFile(history), c.left);
  } else {
    EXPECT_FALSE(fs::exists(history));
  }
  EXPECT_EQ(Record("d"), 0);
  const std::string after = ReadFile(history);
  EXPECT_EQ(after, c.next);
  const auto lines = Lines(after);
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size()) << after;
}

std::string InterruptionName(const ::testing::TestParamInfo<Interruption>& info) {
  const char* steps[] = {"Claimed", "Written", "Replaced"};
  return std::string(info.param.before ? "History" : "FirstRun") + "DiesAfter" +
         steps[static_cast<int>(info.param.step)];
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, InterruptedRecording,
    ::testing::Values(
        Interruption{UpdateStep::TemporaryClaimed, "a\r\nb\r\n", "a\r\nb\r\n", "a\r\nb\r\nd\r\n"},
        Interruption{UpdateStep::TemporaryWritten, "a\r\nb\r\n", "a\r\nb\r\n", "a\r\nb\r\nd\r\n"},
        Interruption{UpdateStep::Replaced, "a\r\nb\r\n", "a\r\nb\r\nc\r\n", "a\r\nb\r\nc\r\nd\r\n"},
        Interruption{UpdateStep::TemporaryClaimed, nullptr, nullptr, "d\r\n"},
        // The only copy of the first command is the temporary file: the next rewrite keeps it.
        Interruption{UpdateStep::TemporaryWritten, nullptr, nullptr, "c\r\nd\r\n"},
        Interruption{UpdateStep::Replaced, nullptr, "c\r\n", "c\r\nd\r\n"}),
    InterruptionName);

}  // namespace
}  // namespace quillgate
