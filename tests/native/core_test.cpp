#include <gtest/gtest.h>

#include "tests/native/fakes.h"

namespace quillgate::testing {
namespace {

using Lines = std::vector<std::string>;
using Disk = std::map<fs::path, std::string>;
const fs::path kBeside = "/program/quillgate.ini", kDocuments = "/documents/quillgate.ini",
               kTemporary = "/documents/quillgate.inf", kFormer = "/program/quillgate.inf";

struct Launcher {
  Box Load() {
    Box box;
    return core.LoadHistory(box), box;
  }
  Files files;
  Shell shell;
  Notes notes;
  LaunchCore core{files, shell, notes};
};

TEST(History, LoadsCrLfLinesAndRewritesEveryLineByteForByte) {
  struct {
    std::string before, command;
    Lines loaded;
    std::string after;
  } cases[] = {
      {"a\r\n\r\nb\r\nc", "x", {"a", "b"}, "a\r\n\r\nb\r\nc\r\nx\r\n"},  // empty line, open tail
      {"p\nq\n", "x", {}, "p\r\nq\r\nx\r\n"},                            // bare LF: not loaded
      {"a\r\n" + std::string(300, 'y') + "\r\n\r\n\r\nz",                // found from the end
       "x",
       {"a", std::string(300, 'y')},
       "a\r\n" + std::string(300, 'y') + "\r\n\r\n\r\nz\r\nx\r\n"},
      {"Notepad\r\nnotepad\r\na\rb\r\n",
       "notepad",
       {"Notepad", "notepad", "a\rb"},
       "Notepad\r\nab\r\nnotepad\r\n"},  // moved to the end, by case; inner CRs go
      {"\357\273\277a\rb\r\nab\r\n",     // a mark from an editor; a line the way it loads
       "a\rb",
       {"a\rb", "ab"},
       "\357\273\277ab\r\na\rb\r\n"},
      {"caf\xE9\r\nold \xE9\r\n\xF0\x9F\x98\x80\r\n",  // the old code page beside UTF-8
       "caf\xC3\xA9",
       {"caf\xC3\xA9", "old \xC3\xA9", "\xF0\x9F\x98\x80"},
       "old \xE9\r\n\xF0\x9F\x98\x80\r\ncaf\xC3\xA9\r\n"},  // the same command as text: moved once
  };
  for (const auto& c : cases) {
    for (const auto& where : {kBeside, kDocuments}) {
      SCOPED_TRACE(c.before + " at " + where.string());
      Launcher l;
      l.files.data[where] = c.before;
      const Box box = l.Load();
      EXPECT_EQ(box.items, c.loaded);
      EXPECT_EQ(box.text, c.loaded.empty() ? "" : c.loaded.back());
      l.core.UpdateHistory(c.command);
      EXPECT_EQ(l.files.data, (Disk{{where, c.after}}));
      EXPECT_TRUE(l.notes.messages.empty() && l.notes.failures.empty());
    }
  }
}

TEST(DataPath, FirstRunIsSilentAndRecordsInDocumentsUnlessAHistoryIsBesideTheProgram) {
  Launcher l;
  EXPECT_TRUE(l.Load().items.empty());
  l.core.UpdateHistory("notepad");
  l.core.UpdateHistory("calc");
  EXPECT_EQ(l.files.data, (Disk{{kDocuments, "notepad\r\ncalc\r\n"}}));
  EXPECT_TRUE(l.notes.messages.empty());
  l.files.data[kBeside] = "";  // a history beside the program wins, even an empty one
  EXPECT_EQ(l.core.ResolveDataPath(DataFile::History), kBeside);
  Launcher nowhere;
  nowhere.files.documents.clear();
  nowhere.core.UpdateHistory("x");
  EXPECT_EQ(nowhere.files.data, (Disk{{kBeside, "x\r\n"}}));
}

TEST(History, FailuresReportAndKeepTheOldHistory) {
  for (const auto fault :
       {Fault::Exists, Fault::Read, Fault::Memory, Fault::ClaimBusy, Fault::Write, Fault::Move}) {
    SCOPED_TRACE(static_cast<int>(fault));
    Launcher l;
    l.files.data[kDocuments] = "old\r\n";
    l.files.fault = fault;
    if (fault == Fault::Exists || fault == Fault::Read || fault == Fault::Memory) {
      EXPECT_TRUE(l.Load().items.empty());
      EXPECT_EQ(l.notes.messages, Lines{"Failed to open quillgate.ini"});
    }
    l.core.UpdateHistory("new");
    // A torn temporary file must not pass for a leftover; it is made beside the history.
    EXPECT_EQ(l.files.data[kTemporary].empty(), fault != Fault::Move);
    l.files.wrote = 0;
    EXPECT_EQ(l.core.ForgetCommand("old"), ForgetResult::Failed);
    EXPECT_EQ(l.notes.failures.size(), 2u);
    ASSERT_FALSE(l.notes.messages.empty());
    EXPECT_EQ(l.notes.messages.back().rfind("The command could not be forgotten: ", 0), 0u);
    EXPECT_EQ(l.files.data[kDocuments], "old\r\n");
    l.files.fault = Fault::None;
    l.core.UpdateHistory("next");
    EXPECT_EQ(l.files.data.at(kDocuments), "old\r\nnext\r\n");
  }
  Launcher full;  // more lines than the box has memory for
  full.files.data[kDocuments] = "a\r\nb\r\n";
  Box box;
  box.room = 1;
  full.core.LoadHistory(box);
  EXPECT_EQ(box.items, Lines{"a"});
  EXPECT_EQ(full.notes.messages, Lines{"Failed to open quillgate.ini"});
}

TEST(History, InterruptedRewritesAndRefusingFoldersLoseNothing) {
  // Left by this build, or by an earlier one; and folders one may not write to.
  for (const auto& left : {kTemporary, kFormer}) {
    Launcher l;
    l.files.data[left] = "a\r\nb\r\n";  // the only copy: the history itself is gone
    l.files.fault = Fault::Write;
    l.core.UpdateHistory("c");
    EXPECT_EQ(l.files.data, (Disk{{left, "a\r\nb\r\n"}}));
    l.files.fault = left == kTemporary ? Fault::Claim : Fault::None;
    l.core.UpdateHistory("c");
    l.core.UpdateHistory("d");
    EXPECT_EQ(l.files.data, (Disk{{kDocuments, "a\r\nb\r\nc\r\nd\r\n"}}));
    EXPECT_EQ(l.notes.failures.size(), 1u);
  }
}

TEST(History, ForgettingDropsExactlyTheLinesTheEntryWasLoadedFrom) {
  Launcher l;
  const std::string before = "a\r\ncaf\xE9\r\nb\r\ncaf\xC3\xA9\r\nCAF\xC3\x89\r\nx\ry\r\nxy\r\n";
  l.files.data[kDocuments] = before;
  EXPECT_EQ(l.core.ForgetCommand("only in the list"), ForgetResult::NothingMatched);
  EXPECT_EQ(l.files.data, (Disk{{kDocuments, before}}));
  EXPECT_EQ(l.notes.messages,
            Lines{"This command is not in quillgate.ini, so there was nothing to forget."});
  EXPECT_EQ(l.core.ForgetCommand("xy"), ForgetResult::Forgotten);  // x CR y stays as it loads
  EXPECT_EQ(l.core.ForgetCommand("x\ry"), ForgetResult::Forgotten);
  EXPECT_EQ(l.core.ForgetCommand("caf\xC3\xA9"), ForgetResult::Forgotten);  // either encoding
  EXPECT_EQ(l.files.data, (Disk{{kDocuments, "a\r\nb\r\nCAF\xC3\x89\r\n"}}));
}

TEST(Launch, TrimsSplitsElevatesAndRecordsOnlyWhatTheShellAccepted) {
  Launcher l;
  l.files.data[kDocuments] = "notepad\r\n";
  Box box = l.Load();
  box.text = "  NOTEPAD  ";
  std::string hidden;  // the history when the window went: before the recording, not on refusal
  const auto hide = [&] { hidden += l.files.data[kDocuments] + "|"; };
  EXPECT_TRUE(l.core.RunCommand(box, false, hide));
  EXPECT_EQ(box.items, Lines{"notepad"});  // the list ignores case, the history does not
  EXPECT_EQ(l.shell.launched, "-|NOTEPAD||C:\\Windows\\system32");
  const LaunchRequest& r = l.shell.request;
  EXPECT_TRUE(r.cbSize == sizeof r && r.fMask == 0x100 && !r.hwnd && r.nShow == 1 && !r.hInstApp);
  box.text = "\t\"C:\\Program Files\\a.exe\" -x  y ";
  EXPECT_TRUE(l.core.RunCommand(box, true));
  EXPECT_EQ(l.shell.launched, "runas|\t\"C:\\Program Files\\a.exe\"|-x  y|C:\\Windows\\system32");
  // Split as typed, then expanded: a value with spaces stays inside the program's path.
  l.shell.variables = {{"HOME", "C:\\Ann Lee"}, {"Q", "%HOME%"}, {"E", ""}};
  box.text = "%HOME%\\%E%a.txt %HOME%%Q% %NOPE% 50%%HOME%%";
  EXPECT_TRUE(l.core.RunCommand(box, false));
  EXPECT_EQ(l.shell.launched,
            "-|C:\\Ann Lee\\a.txt|C:\\Ann Lee%HOME% %NOPE% 50%C:\\Ann Lee%|C:\\Windows\\system32");
  EXPECT_EQ(l.files.data[kDocuments],
            "notepad\r\nNOTEPAD\r\n\t\"C:\\Program Files\\a.exe\" -x  y\r\n" + box.text + "\r\n");
  const std::string launched = l.shell.launched;  // a name no shell opens never reaches it
  box.text = std::string(2049, 'x');
  EXPECT_FALSE(l.core.RunCommand(box, false, hide));
  EXPECT_EQ(l.notes.messages, Lines{"The command is too long for Windows to open."});
  EXPECT_EQ(l.shell.launched, launched);
  l.shell.accept = false;
  box.text = "missing";
  EXPECT_FALSE(l.core.RunCommand(box, true, hide));
  EXPECT_EQ(hidden, "notepad\r\n|");
  EXPECT_EQ(box.items.back(), "missing");  // stays in the list while the dialog is open
  EXPECT_EQ(l.files.data[kDocuments].find("missing"), std::string::npos);
  EXPECT_EQ(TrimCommand(std::string(1 << 20, ' ')), "");  // linear, unlike a regex that recurses
}

}  // namespace
}  // namespace quillgate::testing
