// Trimming, splitting, where the data files live, and the launch itself.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "core/launch_core.h"
#include "fakes.h"

namespace quillgate {
namespace {

using testing::CoreWithFakes;

TEST(TrimCommand, RemovesOnlySpacesAtBothEnds) {
  EXPECT_EQ(TrimCommand("   notepad   "), "notepad");
  EXPECT_EQ(TrimCommand("\tnotepad "), "\tnotepad");
  EXPECT_EQ(TrimCommand(" notepad  c:\\a b.txt "), "notepad  c:\\a b.txt");
  EXPECT_EQ(TrimCommand("notepad\t"), "notepad\t");
  EXPECT_EQ(TrimCommand("    "), "");
  EXPECT_EQ(TrimCommand(""), "");
}

// Every short string over space, tab and a letter trims as the regular expression would.
TEST(TrimCommand, AgreesWithTheAnchoredSpacePattern) {
  const std::regex pattern("^ +| +$");
  const char alphabet[] = {' ', '\t', 'a'};
  for (int length = 0; length <= 6; ++length) {
    int combinations = 1;
    for (int i = 0; i < length; ++i) combinations *= 3;
    for (int n = 0; n < combinations; ++n) {
      std::string text;
      for (int i = 0, rest = n; i < length; ++i, rest /= 3) text += alphabet[rest % 3];
      ASSERT_EQ(TrimCommand(text), std::regex_replace(text, pattern, "$1")) << '"' << text << '"';
    }
  }
}

TEST(TrimCommand, HandlesAMegabyteOfSpaces) {
  const std::string spaces(1 << 20, ' ');
  EXPECT_EQ(TrimCommand(spaces), "");
  EXPECT_EQ(TrimCommand(spaces + "calc" + spaces), "calc");
  EXPECT_EQ(TrimCommand("a" + spaces + "b"), "a" + spaces + "b");
}

TEST(SplitCommandLine, CutsAtTheFirstSpaceOutsideQuotes) {
  struct Case {
    const char* command;
    const char* file;
    const char* parameters;
  };
  const Case cases[] = {
      {R"(notepad c:\notes.txt)", "notepad", R"(c:\notes.txt)"},
      {R"("C:\Program Files\x y\a.exe" -a b)", R"("C:\Program Files\x y\a.exe")", "-a b"},
      {"x  y", "x", " y"},
      {"  x", "", " x"},
      {R"("unterminated a b)", R"("unterminated a b)", ""},
      {"x ", "x", ""},
      {R"("abc )", R"("abc)", ""},
      {"calc", "calc", ""},
      {"", "", ""},
      {R"(a"b c"d e)", R"(a"b c"d)", "e"},
  };
  for (const Case& c : cases) {
    const CommandParts parts = SplitCommandLine(c.command);
    EXPECT_EQ(parts.file, c.file) << c.command;
    EXPECT_EQ(parts.parameters, c.parameters) << c.command;
  }
}

// Where the history and the temporary file are put.
class DataPath : public ::testing::Test {
 protected:
  CoreWithFakes t;
  testing::MemoryFileSystem& files = t.files;
};

TEST_F(DataPath, HistoryBesideTheProgramKeepsBothFilesThereWithoutAskingForDocuments) {
  files.files[files.ProgramHistory()] = "calc\r\n";
  EXPECT_EQ(t.core.ResolveDataPath(DataFile::History), files.ProgramHistory());
  EXPECT_EQ(t.core.ResolveDataPath(DataFile::Temporary), files.ProgramTemporary());

  t.core.LoadHistory(t.box);
  t.core.UpdateHistory("notepad");
  EXPECT_EQ(t.box.items, std::vector<std::string>{"calc"});
  EXPECT_EQ(files.files[files.ProgramHistory()], "calc\r\nnotepad\r\n");
  EXPECT_EQ(files.documentsQueries, 0);
  EXPECT_TRUE(t.notifier.reports.empty());
}

TEST_F(DataPath, FirstRunPutsTheHistoryInDocumentsAndTheTemporaryBesideTheProgram) {
  EXPECT_EQ(t.core.ResolveDataPath(DataFile::History), files.DocumentsHistory());
  EXPECT_EQ(t.core.ResolveDataPath(DataFile::Temporary), files.ProgramTemporary());
}

TEST_F(DataPath, AFolderNamedLikeTheHistoryCountsAsPresent) {
  files.folders.insert(files.ProgramHistory());
  EXPECT_EQ(t.core.ResolveDataPath(DataFile::History), files.ProgramHistory());
  EXPECT_EQ(files.documentsQueries, 0);
}

TEST_F(DataPath, TemporaryStaysBesideTheProgramWhateverExists) {
  files.files[files.DocumentsHistory()] = "a\r\n";
  files.files[files.DocumentsTemporary()] = "";
  EXPECT_EQ(t.core.ResolveDataPath(DataFile::Temporary), files.ProgramTemporary());
  files.files[files.ProgramTemporary()] = "";
  EXPECT_EQ(t.core.ResolveDataPath(DataFile::Temporary), files.ProgramTemporary());
  // Only the history's candidate is looked for; its absence beside the program is no reason
  // to move the temporary file.
  EXPECT_EQ(files.documentsQueries, 0);
}

TEST_F(DataPath, UnknownDocumentsFolderLeavesTheProgramFolder) {
  files.documents.clear();
  EXPECT_EQ(t.core.ResolveDataPath(DataFile::History), files.ProgramHistory());
  t.core.UpdateHistory("calc");
  EXPECT_EQ(files.files[files.ProgramHistory()], "calc\r\n");
}

TEST_F(DataPath, AFailingExistenceTestPropagates) {
  files.existsThrows.insert(files.ProgramHistory());
  EXPECT_THROW(t.core.ResolveDataPath(DataFile::History), std::filesystem::filesystem_error);
}

// Launching the box's text.
class RunCommand : public ::testing::Test {
 protected:
  CoreWithFakes t;
  const std::string& History() { return t.files.files[t.files.DocumentsHistory()]; }
};

TEST_F(RunCommand, FillsTheLaunchRecordLikeTheShellExpects) {
  t.box.text = R"(  notepad c:\notes.txt )";
  ASSERT_TRUE(t.core.RunCommand(t.box, false));
  t.box.text = R"("C:\Program Files\x y\a.exe" -a b)";
  ASSERT_TRUE(t.core.RunCommand(t.box, true));

  ASSERT_EQ(t.shell.launches.size(), 2u);
  for (const testing::RecordedLaunch& launch : t.shell.launches) {
    EXPECT_EQ(launch.cbSize, sizeof(LaunchRequest));
    EXPECT_EQ(launch.fMask, 0u);
    EXPECT_TRUE(launch.hwndNull);
    EXPECT_FALSE(launch.parametersNull);
    EXPECT_EQ(launch.directory, t.shell.systemDirectory);
    EXPECT_EQ(launch.nShow, 1);
    EXPECT_TRUE(launch.hInstAppNull);
  }
  const testing::RecordedLaunch& plain = t.shell.launches[0];
  EXPECT_TRUE(plain.verbNull);
  EXPECT_EQ(plain.file, "notepad");
  EXPECT_EQ(plain.parameters, R"(c:\notes.txt)");
  const testing::RecordedLaunch& elevated = t.shell.launches[1];
  EXPECT_FALSE(elevated.verbNull);
  EXPECT_EQ(elevated.verb, "runas");
  EXPECT_EQ(elevated.file, R"("C:\Program Files\x y\a.exe")");
  EXPECT_EQ(elevated.parameters, "-a b");

  EXPECT_EQ(History(), "notepad c:\\notes.txt\r\n\"C:\\Program Files\\x y\\a.exe\" -a b\r\n");
}

TEST_F(RunCommand, LaunchesAndRecordsTheTrimmedTextButLeavesTheEditField) {
  t.box.text = "   notepad   ";
  ASSERT_TRUE(t.core.RunCommand(t.box, false));
  EXPECT_EQ(t.shell.launches.at(0).file, "notepad");
  EXPECT_EQ(t.shell.launches.at(0).parameters, "");
  EXPECT_EQ(t.box.items, std::vector<std::string>{"notepad"});
  EXPECT_EQ(t.box.text, "   notepad   ");
  EXPECT_EQ(History(), "notepad\r\n");
}

TEST_F(RunCommand, KeepsALeadingTab) {
  t.box.text = "\tnotepad";
  ASSERT_TRUE(t.core.RunCommand(t.box, false));
  EXPECT_EQ(t.shell.launches.at(0).file, "\tnotepad");
  EXPECT_EQ(History(), "\tnotepad\r\n");
}

TEST_F(RunCommand, SpacesOnlyStillExtendTheListAndReachTheShell) {
  t.box.text = "    ";
  t.shell.accepts = false;
  EXPECT_FALSE(t.core.RunCommand(t.box, false));
  EXPECT_EQ(t.box.items, std::vector<std::string>{""});
  EXPECT_EQ(t.shell.launches.at(0).file, "");
}

TEST_F(RunCommand, ListMatchesIgnoreCaseButTheHistoryDoesNot) {
  t.box.items = {"notepad"};
  t.files.files[t.files.DocumentsHistory()] = "notepad\r\n";
  t.box.text = "NOTEPAD";
  ASSERT_TRUE(t.core.RunCommand(t.box, false));
  EXPECT_EQ(t.box.items, std::vector<std::string>{"notepad"});
  EXPECT_EQ(History(), "notepad\r\nNOTEPAD\r\n");
}

TEST_F(RunCommand, ARefusedLaunchRecordsNothingButKeepsTheNewItem) {
  t.files.files[t.files.DocumentsHistory()] = "calc\r\n";
  const auto before = t.files.files;
  t.shell.accepts = false;
  for (const bool elevated : {false, true}) {
    t.box.text = "nosuchprogram";
    EXPECT_FALSE(t.core.RunCommand(t.box, elevated));
  }
  EXPECT_EQ(t.box.items, std::vector<std::string>{"nosuchprogram"});
  EXPECT_EQ(t.files.files, before);
  EXPECT_TRUE(t.files.claimed.empty());
  EXPECT_TRUE(t.notifier.reports.empty());
}

TEST_F(RunCommand, AFailedRecordingStillCountsAsALaunch) {
  t.files.failingWrites = 1;
  t.box.text = "calc";
  EXPECT_TRUE(t.core.RunCommand(t.box, false));
  EXPECT_EQ(t.notifier.reports.size(), 1u);
}

}  // namespace
}  // namespace quillgate
