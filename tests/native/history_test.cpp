// Loading and rewriting the history, and what a rewrite must survive, over an in-memory file
// system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/launch_core.h"
#include "fakes.h"

namespace quillgate {
namespace {

using Items = std::vector<std::string>;

class History : public ::testing::Test {
 protected:
  testing::CoreWithFakes t;
  testing::MemoryFileSystem& files = t.files;

  std::string& Stored() { return files.files[files.DocumentsHistory()]; }
};

// Loading

TEST_F(History, LoadsCrLfLinesSkippingEmptyOnesAndTheUnterminatedTail) {
  Stored() = "a\r\n\r\nb\r\nc";
  t.core.LoadHistory(t.box);
  EXPECT_EQ(t.box.items, (Items{"a", "b"}));
  EXPECT_EQ(t.box.text, "b");
  EXPECT_TRUE(t.notifier.messages.empty());
}

TEST_F(History, LoadsOnlyWhatCrLfEnds) {
  struct Case {
    const char* contents;
    Items items;
    const char* text;
  };
  const Case cases[] = {
      {"a\nb\n", {}, ""},
      {"x\r\ny", {"x"}, "x"},
      {"\r\n\r\n", {}, ""},
      {"a\rb\r\nc\r\r\n", {"a\rb", "c\r"}, "c\r"},
      {"old\r\nnew\r\n", {"old", "new"}, "new"},
      {"", {}, ""},
  };
  for (const Case& c : cases) {
    testing::CoreWithFakes fresh;
    fresh.files.files[fresh.files.DocumentsHistory()] = c.contents;
    fresh.core.LoadHistory(fresh.box);
    EXPECT_EQ(fresh.box.items, c.items) << c.contents;
    EXPECT_EQ(fresh.box.text, c.text) << c.contents;
    EXPECT_TRUE(fresh.notifier.messages.empty()) << c.contents;
  }
}

// Long histories are scanned many bytes at a time: line ends at every offset, across block
// borders, among lone CRs and LFs, must come out as the plain reading of CR LF pairs gives them.
TEST_F(History, LoadsLongHistoriesLikeTheLineByLineReading) {
  std::string contents;
  for (int length = 0; length < 300; ++length) {
    std::string line(static_cast<std::size_t>(length), 'a' + length % 26);
    if (length % 7 == 3) line[static_cast<std::size_t>(length) / 2] = '\r';
    if (length % 11 == 5) line[static_cast<std::size_t>(length) / 3] = '\n';
    contents += line + "\r\n";
  }
  contents += "\r\r\n\n\r\ntail";

  Items expected;
  for (std::size_t start = 0, end; (end = contents.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    if (end > start) expected.push_back(contents.substr(start, end - start));
  }
  for (std::size_t shift = 0; shift < 64; shift += 9) {
    testing::CoreWithFakes fresh;
    const std::string shifted = std::string(shift, 'x') + "\r\n" + contents;
    fresh.files.files[fresh.files.DocumentsHistory()] = shifted;
    fresh.core.LoadHistory(fresh.box);
    Items want = expected;
    if (shift > 0) want.insert(want.begin(), std::string(shift, 'x'));
    EXPECT_EQ(fresh.box.items, want) << "shift " << shift;
    EXPECT_EQ(fresh.box.text, want.back());
  }
}

TEST_F(History, AMissingHistoryIsAnEmptyOneWithoutAMessage) {
  t.core.LoadHistory(t.box);
  EXPECT_TRUE(t.box.items.empty());
  EXPECT_TRUE(t.notifier.messages.empty());
}

TEST_F(History, AnUnreadableHistoryIsReportedInAMessageBox) {
  Stored() = "calc\r\n";
  files.unreadable.insert(files.DocumentsHistory());
  t.core.LoadHistory(t.box);
  EXPECT_TRUE(t.box.items.empty());
  EXPECT_EQ(t.notifier.messages, Items{"Failed to open quillgate.ini"});
  EXPECT_TRUE(t.notifier.reports.empty());
}

TEST_F(History, AFailingExistenceTestLoadsAsAnUnreadableHistory) {
  files.files[files.ProgramHistory()] = "calc\r\n";
  files.existsThrows.insert(files.ProgramHistory());
  t.core.LoadHistory(t.box);
  EXPECT_TRUE(t.box.items.empty());
  EXPECT_EQ(t.notifier.messages, Items{"Failed to open quillgate.ini"});
}

// Rewriting

TEST_F(History, FirstTwoLaunchesWriteExactlyTheirLinesIntoDocuments) {
  t.core.UpdateHistory("notepad");
  t.core.UpdateHistory("calc");
  EXPECT_EQ(Stored(), "notepad\r\ncalc\r\n");
  EXPECT_EQ(files.claimed.front(), files.ProgramTemporary());
  EXPECT_EQ(files.files.count(files.ProgramTemporary()), 0u);
  EXPECT_EQ(files.files.count(files.ProgramHistory()), 0u);
  EXPECT_TRUE(t.notifier.reports.empty());
}

TEST_F(History, RewritesEveryLineAndPutsTheCommandLast) {
  struct Case {
    const char* before;
    const char* command;
    const char* after;
  };
  const Case cases[] = {
      {"a\r\nb\r\nc\r\n", "a", "b\r\nc\r\na\r\n"},           // moved, not added
      {"a\r\nb\r\nc\r\n", "c", "a\r\nb\r\nc\r\n"},           // already last
      {"notepad\r\n", "Notepad", "notepad\r\nNotepad\r\n"},  // case matters
      {"a\rb\r\n", "c", "ab\r\nc\r\n"},                      // inner CR dropped
      {"a\r\r\n", "a", "a\r\n"},                             // equal once CRs are gone
      {"a\r\n\r\nb\r\nc", "d", "a\r\n\r\nb\r\nc\r\nd\r\n"},  // empty line and tail kept
      {"a\nb\n", "c", "a\r\nb\r\nc\r\n"},                    // bare LF becomes CR LF
      {"a\r\nb", "c", "a\r\nb\r\nc\r\n"},                    // tail terminated
      {"\n", "x", "\r\nx\r\n"},
      {"a\r\na\r\nb\r\n", "a", "b\r\na\r\n"},         // every copy goes
      {"p q\r\np  q\r\n", "p q", "p  q\r\np q\r\n"},  // whole-line comparison
  };
  for (const Case& c : cases) {
    testing::CoreWithFakes fresh;
    auto& stored = fresh.files.files[fresh.files.DocumentsHistory()];
    stored = c.before;
    fresh.core.UpdateHistory(c.command);
    EXPECT_EQ(stored, c.after) << c.before << " + " << c.command;
    EXPECT_TRUE(fresh.notifier.reports.empty());
  }
}

TEST_F(History, WhatTheRewriteWritesLoadsBack) {
  Stored() = "a\n\nb";
  t.core.UpdateHistory("c");
  t.core.LoadHistory(t.box);
  EXPECT_EQ(t.box.items, (Items{"a", "b", "c"}));
  EXPECT_EQ(t.box.text, "c");
}

// A rewrite that cannot finish leaves the history as it was and says why on stdout.

class FailedRewrite : public History {
 protected:
  const std::string before = "a\r\nb\r\n";

  void SetUp() override { Stored() = before; }

  void ExpectUntouchedAndReported(const std::string& pathInReport) {
    EXPECT_EQ(Stored(), before);
    ASSERT_EQ(t.notifier.reports.size(), 1u);
    EXPECT_NE(t.notifier.reports[0].find(pathInReport), std::string::npos) << t.notifier.reports[0];
    EXPECT_TRUE(t.notifier.messages.empty());
  }
};

TEST_F(FailedRewrite, WriteFailureKeepsTheHistoryAndDropsTheTornTemporary) {
  files.failingWrites = 1;
  t.core.UpdateHistory("c");
  ExpectUntouchedAndReported(files.ProgramTemporary().string());
  EXPECT_EQ(files.files.count(files.ProgramTemporary()), 0u);
}

TEST_F(FailedRewrite, MoveFailureKeepsTheHistory) {
  files.moveFails = true;
  t.core.UpdateHistory("c");
  ExpectUntouchedAndReported(files.DocumentsHistory().string());
}

TEST_F(FailedRewrite, UnreadableHistoryIsNotRewrittenFromNothing) {
  files.unreadable.insert(files.DocumentsHistory());
  t.core.UpdateHistory("c");
  ExpectUntouchedAndReported(files.DocumentsHistory().string());
  EXPECT_EQ(files.files.count(files.ProgramTemporary()), 0u);
}

TEST_F(FailedRewrite, HistoryThatIsAFolderStaysAFolder) {
  files.files.clear();
  files.folders.insert(files.ProgramHistory());
  t.core.UpdateHistory("c");
  EXPECT_EQ(files.files.count(files.ProgramHistory()), 0u);
  EXPECT_EQ(files.folders.count(files.ProgramHistory()), 1u);
  EXPECT_EQ(t.notifier.reports.size(), 1u);
}

TEST_F(FailedRewrite, FailingExistenceTestNeitherThrowsNorTouchesTheHistory) {
  files.existsThrows.insert(files.ProgramHistory());
  t.box.text = "c";
  EXPECT_TRUE(t.core.RunCommand(t.box, false));
  ExpectUntouchedAndReported(files.ProgramHistory().string());
  EXPECT_TRUE(files.claimed.empty());
}

TEST_F(FailedRewrite, NoTemporaryAnywhereKeepsTheHistory) {
  files.claimFails[files.ProgramTemporary()] =
      std::make_error_code(std::errc::read_only_file_system);
  files.claimFails[files.DocumentsTemporary()] = std::make_error_code(std::errc::permission_denied);
  t.core.UpdateHistory("c");
  ExpectUntouchedAndReported(files.ProgramTemporary().string());
}

TEST_F(FailedRewrite, BusyTemporaryIsNotSidesteppedIntoASecondFile) {
  files.claimFails[files.ProgramTemporary()] =
      std::make_error_code(std::errc::device_or_resource_busy);
  t.core.UpdateHistory("c");
  ExpectUntouchedAndReported(files.ProgramTemporary().string());
  EXPECT_EQ(files.claimed, std::vector<std::filesystem::path>{files.ProgramTemporary()});
}

// A temporary file left by an interrupted rewrite.

TEST_F(History, LeftoverBesideAnExistingHistoryIsDiscarded) {
  Stored() = "a\r\nb\r\n";
  files.files[files.ProgramTemporary()] = "a\r\nb\r\nstale\r\n";
  t.core.UpdateHistory("c");
  EXPECT_EQ(Stored(), "a\r\nb\r\nc\r\n");
}

TEST_F(History, LeftoverHoldingTheOnlyCopySurvivesAFailedWrite) {
  files.files[files.ProgramTemporary()] = "x\r\ny\r\n";
  files.failingWrites = 1;
  t.core.UpdateHistory("z");
  EXPECT_EQ(files.files[files.ProgramTemporary()], "x\r\ny\r\n");
  EXPECT_EQ(t.notifier.reports.size(), 1u);
  t.core.UpdateHistory("z");
  EXPECT_EQ(Stored(), "x\r\ny\r\nz\r\n");
}

TEST_F(History, LeftoverRecoversAMissingHistoryAheadOfTheNewCommand) {
  files.files[files.ProgramTemporary()] = "x\r\ny\r\nz\r\n";
  t.core.UpdateHistory("y");
  EXPECT_EQ(Stored(), "x\r\nz\r\ny\r\n");
  EXPECT_EQ(files.files.count(files.ProgramTemporary()), 0u);
}

// A program folder one may not write to.

TEST_F(History, UnwritableProgramFolderRecordsThroughATemporaryBesideTheHistory) {
  Stored() = "a\r\n";
  files.claimFails[files.ProgramTemporary()] = std::make_error_code(std::errc::permission_denied);
  t.core.UpdateHistory("b");
  EXPECT_EQ(Stored(), "a\r\nb\r\n");
  EXPECT_EQ(files.claimed.back(), files.DocumentsTemporary());
  EXPECT_EQ(files.files.count(files.DocumentsTemporary()), 0u);
  EXPECT_TRUE(t.notifier.reports.empty());
}

TEST_F(History, UnwritableProgramFolderHoldingTheHistoryReportsOnce) {
  files.files[files.ProgramHistory()] = "a\r\n";
  files.claimFails[files.ProgramTemporary()] = std::make_error_code(std::errc::permission_denied);
  t.core.UpdateHistory("b");
  EXPECT_EQ(files.files[files.ProgramHistory()], "a\r\n");
  EXPECT_EQ(files.claimed.size(), 1u);
  EXPECT_EQ(t.notifier.reports.size(), 1u);
}

}  // namespace
}  // namespace quillgate
