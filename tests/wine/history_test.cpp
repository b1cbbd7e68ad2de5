// The history rewrite over the real file services: two folders, and the failures that a real
// file system produces.
#include <gtest/gtest.h>

#include <thread>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "core/launch_core.h"
#include "wine_support.h"

namespace quillgate {
namespace {
namespace fs = std::filesystem;
using testing::FolderPair;
using testing::Present;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

class HistoryAcrossFolders : public ::testing::TestWithParam<testing::DocumentsVolume> {};

TEST_P(HistoryAcrossFolders, TwoRecordingsFromNothingLeaveExactBytesInDocuments) {
  const fs::path documentsParent = testing::DocumentsParent(GetParam());
  if (documentsParent.empty()) GTEST_SKIP() << "no second volume here";
  ScratchFolder program;
  ScratchFolder documents(documentsParent);
  FolderPair files(program.Path(), documents.Path());
  testing::RecordingCore t(files);

  t.core.UpdateHistory("notepad");
  t.core.UpdateHistory("calc");
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "notepad\r\ncalc\r\n");
  EXPECT_FALSE(Present(files.ProgramTemporary()));
  EXPECT_FALSE(Present(files.ProgramHistory()));
  EXPECT_FALSE(Present(files.DocumentsTemporary()));
  EXPECT_TRUE(t.notifier.reports.empty()) << t.notifier.reports.front();

  testing::RecordingBox box;
  t.core.LoadHistory(box);
  EXPECT_EQ(box.items, (std::vector<std::string>{"notepad", "calc"}));
  EXPECT_EQ(box.text, "calc");
  EXPECT_TRUE(t.notifier.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Win32History, HistoryAcrossFolders,
                         ::testing::Values(testing::DocumentsVolume::Same,
                                           testing::DocumentsVolume::Other));

class HistoryOnRealFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::MakeFolders(files.ProgramFolder()));
    ASSERT_TRUE(testing::MakeFolders(files.DocumentsFolder()));
  }

  ScratchFolder scratch;
  FolderPair files{scratch / "program", scratch / "documents"};
  testing::NoShell shell;
  testing::RecordingNotifier notifier;
  LaunchCore core{files, shell, notifier};
  testing::RecordingBox box;
};

TEST_F(HistoryOnRealFiles, AMissingHistoryIsEmptyAndAHeldOneIsReportedAndKept) {
  core.LoadHistory(box);
  EXPECT_TRUE(box.items.empty());
  EXPECT_TRUE(notifier.messages.empty());

  ASSERT_TRUE(WriteBytes(files.DocumentsHistory(), "calc\r\n"));
  // Another program holds the history and shares nothing.
  HANDLE held = CreateFileW(files.DocumentsHistory().c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  core.LoadHistory(box);
  EXPECT_EQ(notifier.messages, std::vector<std::string>{"Failed to open quillgate.ini"});
  EXPECT_TRUE(box.items.empty());
  core.UpdateHistory("notepad");
  EXPECT_EQ(notifier.reports.size(), 1u);
  EXPECT_FALSE(Present(files.ProgramTemporary()));
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "calc\r\n");

  core.UpdateHistory("notepad");
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "calc\r\nnotepad\r\n");
  EXPECT_EQ(notifier.reports.size(), 1u);
}

TEST_F(HistoryOnRealFiles, AFolderInPlaceOfTheHistoryIsUsedButUnreadable) {
  ASSERT_TRUE(testing::MakeFolders(files.ProgramHistory()));
  ASSERT_TRUE(WriteBytes(files.DocumentsHistory(), "calc\r\n"));
  core.LoadHistory(box);
  EXPECT_EQ(notifier.messages, std::vector<std::string>{"Failed to open quillgate.ini"});
  core.UpdateHistory("notepad");
  EXPECT_EQ(notifier.reports.size(), 1u);
  EXPECT_EQ(GetFileAttributesW(files.ProgramHistory().c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "calc\r\n");
}

// Like Windows, Wine refuses to replace a file that anyone holds open, whatever it shares. A
// reader that lets go soon is waited for; one that keeps holding fails the replacement only.
TEST_F(HistoryOnRealFiles, AReaderHoldingTheHistoryDelaysOrFailsTheReplacementNotTheHistory) {
  ASSERT_TRUE(WriteBytes(files.DocumentsHistory(), "calc\r\n"));
  const auto openReader = [&] {
    return CreateFileW(files.DocumentsHistory().c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  };
  HANDLE brief = openReader();
  ASSERT_NE(brief, INVALID_HANDLE_VALUE);
  std::thread letGo([brief] {
    Sleep(100);
    CloseHandle(brief);
  });
  core.UpdateHistory("notepad");
  letGo.join();
  EXPECT_TRUE(notifier.reports.empty());
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "calc\r\nnotepad\r\n");

  HANDLE holding = openReader();
  ASSERT_NE(holding, INVALID_HANDLE_VALUE);
  core.UpdateHistory("mspaint");
  CloseHandle(holding);
  ASSERT_EQ(notifier.reports.size(), 1u);
  EXPECT_NE(notifier.reports[0].find("rename"), std::string::npos) << notifier.reports[0];
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "calc\r\nnotepad\r\n");

  core.UpdateHistory("mspaint");
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "calc\r\nnotepad\r\nmspaint\r\n");
  EXPECT_FALSE(Present(files.ProgramTemporary()));
  EXPECT_EQ(notifier.reports.size(), 1u);
}

// Wine lets root write anywhere, so a program folder that is not there stands in for one the
// user may not write to: the rewrite has to happen beside the history.
TEST(Win32History, AProgramFolderWithoutRoomRecordsBesideTheHistory) {
  ScratchFolder scratch;
  FolderPair files(scratch / "not there", scratch.Path());
  testing::RecordingCore t(files);
  t.core.UpdateHistory("notepad");
  t.core.UpdateHistory("calc");
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "notepad\r\ncalc\r\n");
  EXPECT_FALSE(Present(files.DocumentsTemporary()));
  EXPECT_TRUE(t.notifier.reports.empty()) << t.notifier.reports.front();
}

TEST(Win32History, AFailingExistenceTestIsReportedNotFatal) {
  ScratchFolder documents;
  FolderPair files(testing::FromUnixPath(QG_LOOP_LINK), documents.Path());
  testing::RecordingCore t(files);
  testing::RecordingBox box;
  t.core.LoadHistory(box);
  EXPECT_EQ(t.notifier.messages, std::vector<std::string>{"Failed to open quillgate.ini"});
  t.core.UpdateHistory("calc");
  ASSERT_EQ(t.notifier.reports.size(), 1u);
  EXPECT_NE(t.notifier.reports[0].find("exists"), std::string::npos) << t.notifier.reports[0];
  EXPECT_FALSE(Present(files.DocumentsHistory()));
}

// A launcher stuck in the middle of its rewrite: the next one waits its turn, gives up, and
// neither loses the history nor starts a second rewrite elsewhere.
TEST_F(HistoryOnRealFiles, AnotherRewriteThatNeverEndsIsWaitedForThenGivenUp) {
  ASSERT_TRUE(WriteBytes(files.DocumentsHistory(), "calc\r\n"));
  std::error_code error;
  auto stuck = files.ClaimTemporary(files.ProgramTemporary(), error);
  ASSERT_TRUE(stuck);
  core.UpdateHistory("notepad");
  ASSERT_EQ(notifier.reports.size(), 1u);
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "calc\r\n");
  EXPECT_FALSE(Present(files.DocumentsTemporary()));

  stuck.reset();
  core.UpdateHistory("notepad");
  EXPECT_EQ(ReadBytes(files.DocumentsHistory()), "calc\r\nnotepad\r\n");
  EXPECT_EQ(notifier.reports.size(), 1u);
}

}  // namespace
}  // namespace quillgate
