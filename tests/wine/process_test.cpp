// Recording processes that are ended part way, and several that record at the same moment.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wine_support.h"

namespace quillgate {
namespace {
namespace fs = std::filesystem;
using testing::Child;
using testing::FolderPair;
using testing::Present;
using testing::Quote;
using testing::ReadBytes;
using testing::ScratchFolder;

constexpr DWORD kProcessLimitMs = 60000;

std::wstring StepperLine(FolderPair& files, const wchar_t* stop, int count,
                         const std::wstring& command) {
  return Quote((testing::OwnFolder() / "stepper.exe").wstring()) + L" " +
         Quote(files.ProgramFolder().wstring()) + L" " + Quote(files.DocumentsFolder().wstring()) +
         L" " + stop + L" " + std::to_wstring(count) + L" " + Quote(command);
}

struct Interruption {
  const char* name;
  const wchar_t* stop;
  DWORD exitCode;
  const char* before;     // the history when the recording of "c" starts; null: none yet
  const char* afterStop;  // the history once that process was ended; null: none
  const char* afterNext;  // the history after "d" was recorded next
};

// Ended at each point of a rewrite, the history is still the old or already the new one; the
// next recording carries on from it, or from the finished rewrite that never got into place.
const Interruption kInterruptions[] = {
    {"AfterClaim", L"claimed", 10, "a\r\nb\r\n", "a\r\nb\r\n", "a\r\nb\r\nd\r\n"},
    {"AfterWrite", L"written", 11, "a\r\nb\r\n", "a\r\nb\r\n", "a\r\nb\r\nd\r\n"},
    {"AfterReplace", L"replaced", 12, "a\r\nb\r\n", "a\r\nb\r\nc\r\n", "a\r\nb\r\nc\r\nd\r\n"},
    {"FirstRunAfterClaim", L"claimed", 10, nullptr, nullptr, "d\r\n"},
    {"FirstRunAfterWrite", L"written", 11, nullptr, nullptr, "c\r\nd\r\n"},
    {"FirstRunAfterReplace", L"replaced", 12, nullptr, "c\r\n", "c\r\nd\r\n"},
};

class InterruptedRecording : public ::testing::TestWithParam<Interruption> {};

TEST_P(InterruptedRecording, LeavesAHistoryTheNextRecordingCarriesOn) {
  const Interruption& step = GetParam();
  ScratchFolder scratch;
  FolderPair files(scratch / "program", scratch / "documents");
  ASSERT_TRUE(testing::MakeFolders(files.ProgramFolder()));
  ASSERT_TRUE(testing::MakeFolders(files.DocumentsFolder()));
  if (step.before) {
    ASSERT_TRUE(testing::WriteBytes(files.DocumentsHistory(), step.before));
  }

  Child stopped(StepperLine(files, step.stop, 1, L"c"));
  ASSERT_TRUE(stopped.Started());
  EXPECT_EQ(stopped.Wait(kProcessLimitMs), std::optional<DWORD>(step.exitCode));
  const std::optional<std::string> afterStop = ReadBytes(files.DocumentsHistory());
  if (step.afterStop) {
    EXPECT_EQ(afterStop, std::string(step.afterStop));
  } else {
    EXPECT_FALSE(afterStop) << *afterStop;
  }

  Child next(StepperLine(files, L"none", 1, L"d"));
  ASSERT_TRUE(next.Started());
  EXPECT_EQ(next.Wait(kProcessLimitMs), std::optional<DWORD>(0));
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), std::string(step.afterNext));
  EXPECT_FALSE(Present(files.ProgramTemporary()));
  EXPECT_FALSE(Present(files.DocumentsTemporary()));
}

void PrintTo(const Interruption& step, std::ostream* out) {
  *out << step.name;
}

INSTANTIATE_TEST_SUITE_P(Win32History, InterruptedRecording, ::testing::ValuesIn(kInterruptions));

// Launchers that record at the same moment take turns: nothing lost, nothing doubled, nothing
// torn. The documents lie on the program's volume or on another one, where the rewrite ends in
// a copy.
class ConcurrentRecording : public ::testing::TestWithParam<testing::DocumentsVolume> {};

TEST_P(ConcurrentRecording, EveryCommandEndsUpOnceOnAWholeLine) {
  constexpr int kLaunchers = 4;
  constexpr int kEach = 25;
  const fs::path documentsParent = testing::DocumentsParent(GetParam());
  if (documentsParent.empty()) GTEST_SKIP() << "no second volume here";
  ScratchFolder program;
  ScratchFolder documents(documentsParent);
  FolderPair files(program.Path(), documents.Path());
  ASSERT_TRUE(testing::WriteBytes(files.DocumentsHistory(), "seed\r\n"));

  // Every launcher waits at a gate until all are ready, so that their rewrites overlap.
  const std::wstring gate = L"qg-gate-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount64());
  HANDLE ready = CreateSemaphoreW(nullptr, 0, kLaunchers, (gate + L"-ready").c_str());
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, (gate + L"-go").c_str());
  ASSERT_TRUE(ready && go);
  SetEnvironmentVariableW(testing::kStepperGateVariable, gate.c_str());
  std::vector<Child> launchers;
  for (int k = 1; k <= kLaunchers; ++k) {
    launchers.emplace_back(StepperLine(files, L"none", kEach, L"w" + std::to_wstring(k)));
    ASSERT_TRUE(launchers.back().Started());
  }
  SetEnvironmentVariableW(testing::kStepperGateVariable, nullptr);
  int waiting = 0;
  while (waiting < kLaunchers && WaitForSingleObject(ready, kProcessLimitMs) == WAIT_OBJECT_0) {
    ++waiting;
  }
  SetEvent(go);
  for (Child& launcher : launchers) {
    EXPECT_EQ(launcher.Wait(kProcessLimitMs), std::optional<DWORD>(0));
  }
  CloseHandle(ready);
  CloseHandle(go);
  ASSERT_EQ(waiting, kLaunchers);

  const std::optional<std::string> history = ReadBytes(files.DocumentsHistory());
  ASSERT_TRUE(history);
  ASSERT_FALSE(history->empty());
  EXPECT_EQ(history->substr(history->size() - 2), "\r\n");
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = history->find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    lines.push_back(history->substr(start, end - start));
  }
  EXPECT_EQ(start, history->size()) << "text after the last line end";
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "seed");

  // Each launcher's commands, in the order it recorded them.
  std::map<std::string, std::vector<int>> seen;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::size_t dash = line.find('-');
    ASSERT_NE(dash, std::string::npos) << "torn line '" << line << "'";
    ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << "torn line '" << line << "'";
    seen[line.substr(0, dash)].push_back(std::stoi(line.substr(dash + 1)));
  }
  std::vector<int> all(kEach);
  for (int i = 0; i < kEach; ++i) all[i] = i + 1;
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kLaunchers));
  for (int k = 1; k <= kLaunchers; ++k) {
    EXPECT_EQ(seen["w" + std::to_string(k)], all) << "launcher w" << k;
  }
  EXPECT_FALSE(Present(files.ProgramTemporary()));
  EXPECT_FALSE(Present(files.DocumentsTemporary()));
}

INSTANTIATE_TEST_SUITE_P(Win32History, ConcurrentRecording,
                         ::testing::Values(testing::DocumentsVolume::Same,
                                           testing::DocumentsVolume::Other));

}  // namespace
}  // namespace quillgate
