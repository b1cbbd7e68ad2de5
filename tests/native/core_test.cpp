#include <gtest/gtest.h>

#include "tests/native/fakes.h"

namespace quillgate::testing {
namespace {

using Lines = std::vector<std::string>;
using Said = std::vector<messages::Message>;
using messages::Id;
using Disk = std::map<fs::path, std::string>;
const fs::path kBeside = "/program/quillgate.ini", kDocuments = "/documents/quillgate.ini",
               kTemporary = "/documents/quillgate.inf", kFormer = "/program/quillgate.inf";
using Launcher = Rig;
using Kind = RewriteOutcome::Kind;

TEST(History, LoadsCrLfLinesAndRewritesEveryLineByteForByte) {
  const std::string y(300, 'y'), mark = "\357\273\277", cafe = "caf\xC3\xA9";
  struct {
    std::string before, command;
    Lines loaded;
    std::string after;
  } cases[] = {
      // An empty line, an open tail; a bare LF (not loaded); the last line found from the end.
      {"a\r\n\r\nb\r\nc", "x", {"a", "b"}, "a\r\n\r\nb\r\nc\r\nx\r\n"},
      {"p\nq\n", "x", {}, "p\r\nq\r\nx\r\n"},
      {"a\r\n" + y + "\r\n\r\n\r\nz", "x", {"a", y}, "a\r\n" + y + "\r\n\r\n\r\nz\r\nx\r\n"},
      // Moved to the end, by case, inner CRs gone; a mark from an editor, a line as it loads.
      {"Notepad\r\nnotepad\r\na\rb\r\n",
       "notepad",
       {"Notepad", "notepad", "a\rb"},
       "Notepad\r\nab\r\nnotepad\r\n"},
      {mark + "a\rb\r\nab\r\n", "a\rb", {"a\rb", "ab"}, mark + "ab\r\na\rb\r\n"},
      // The old code page beside UTF-8: the same command as text, moved once.
      {"caf\xE9\r\nold \xE9\r\n\xF0\x9F\x98\x80\r\n",
       cafe,
       {cafe, "old \xC3\xA9", "\xF0\x9F\x98\x80"},
       "old \xE9\r\n\xF0\x9F\x98\x80\r\n" + cafe + "\r\n"},
  };
  for (const auto& c : cases) {
    for (const auto& where : {kBeside, kDocuments}) {
      SCOPED_TRACE(c.before + " at " + where.string());
      Launcher l;
      l.files.data[where] = c.before;
      const Box box = l.Load();
      EXPECT_EQ(box.items, c.loaded);
      EXPECT_EQ(box.text, c.loaded.empty() ? "" : c.loaded.back());
      l.Record(c.command);
      EXPECT_EQ(l.files.data, (Disk{{where, c.after}}));
      EXPECT_TRUE(l.notes.messages.empty() && l.notes.failures.empty());
    }
  }
}

TEST(DataPath, FirstRunIsSilentAndRecordsInDocumentsUnlessAHistoryIsBesideTheProgram) {
  Launcher l;
  EXPECT_TRUE(l.Load().items.empty());
  l.Record("notepad");
  l.Record("calc");
  EXPECT_EQ(l.files.data, (Disk{{kDocuments, "notepad\r\ncalc\r\n"}}));
  EXPECT_TRUE(l.notes.messages.empty());
  l.files.data[kBeside] = "";  // a history beside the program wins, even an empty one
  EXPECT_EQ(ResolveDataPath(l.files, DataFile::History), kBeside);
  Launcher nowhere;
  nowhere.files.documents.clear();
  nowhere.Record("x");
  EXPECT_EQ(nowhere.files.data, (Disk{{kBeside, "x\r\n"}}));
}

TEST(History, FailuresReportAndKeepTheOldHistory) {
  for (const auto fault : {Fault::Exists, Fault::Read, Fault::Held, Fault::Memory, Fault::ClaimBusy,
                           Fault::Write, Fault::Move}) {
    SCOPED_TRACE(static_cast<int>(fault));
    Launcher l;
    l.files.data[kDocuments] = "old\r\n";
    l.files.fault = fault;
    if (fault <= Fault::Memory) {  // a load that fails
      EXPECT_TRUE(l.Load().items.empty());
      EXPECT_EQ(l.notes.messages, (Said{{Id::LoadFailure, {}}}));
    }
    // Only a file another program holds may be free at the next try.
    const bool held = fault == Fault::Held || fault == Fault::ClaimBusy;
    const RewriteOutcome recorded = l.Record("new");
    EXPECT_TRUE(recorded.kind == Kind::Failed && recorded.transient == held);
    // The user hears which command was opened but not kept, and why.
    ASSERT_FALSE(l.notes.messages.empty());
    EXPECT_EQ(l.notes.messages.back(), messages::Unrecorded("new", recorded.reason));
    // A torn temporary file must not pass for a leftover; it is made beside the history.
    EXPECT_EQ(l.files.data[kTemporary].empty(), fault != Fault::Move);
    l.files.wrote = 0;
    const RewriteOutcome forgotten = l.Forget("old");
    EXPECT_TRUE(forgotten.kind == Kind::Failed && forgotten.transient == held);
    EXPECT_EQ(l.notes.failures.size(), 2u);
    EXPECT_EQ(l.notes.messages.back(), messages::ForgetFailed(forgotten.reason));
    EXPECT_EQ(l.files.data[kDocuments], "old\r\n");
    l.files.fault = Fault::None;
    l.Record("next");
    EXPECT_EQ(l.files.data.at(kDocuments), "old\r\nnext\r\n");
  }
}

TEST(History, TheFirstPaintReadsNoByteOfTheHistoryTwice) {
  std::string bareLf;  // from Git Bash or WSL: no line at all
  while (bareLf.size() < (1u << 20)) bareLf += "notepad\n";
  const std::string huge(1u << 20, 'y');
  const std::pair<std::string, std::string> cases[] = {
      {bareLf, ""}, {"a\r\n" + huge + "\r\n", huge}, {"\357\273\277" + huge + "\r\n\r\nz", huge}};
  for (const auto& [history, last] : cases) {
    Launcher l;
    l.files.data[kDocuments] = history;
    const FirstPaint first = ReadFirstPaint(l.files);
    EXPECT_TRUE(first.readable && first.last.value_or("") == last);
    EXPECT_LE(l.files.tailBytes, history.size());
  }
}

TEST(History, InterruptedRewritesAndRefusingFoldersLoseNothing) {
  // Left by this build, or by an earlier one; and folders one may not write to.
  for (const auto& left : {kTemporary, kFormer}) {
    Launcher l;
    l.files.data[left] = "a\r\nb\r\n";  // the only copy: the history itself is gone
    l.files.fault = Fault::Write;
    l.Record("c");
    EXPECT_EQ(l.files.data, (Disk{{left, "a\r\nb\r\n"}}));
    l.files.fault = left == kTemporary ? Fault::Claim : Fault::None;
    l.Record("c");
    l.Record("d");
    EXPECT_EQ(l.files.data, (Disk{{kDocuments, "a\r\nb\r\nc\r\nd\r\n"}}));
    EXPECT_EQ(l.notes.failures.size(), 1u);
  }
}

// A translation may order the arguments its own way; what they hold is never read as a placeholder.
TEST(Messages, ArgumentsGoInOnceInTheTextsOrder) {
  EXPECT_EQ(messages::Fill<char>("%2 \"%1\" 100% %3%", {"a %2", "b%1"}), "b%1 \"a %2\" 100% %3%");
}

TEST(Launch, TrimsSplitsElevatesAndRecordsOnlyWhatTheShellAccepted) {
  Launcher l;
  l.files.data[kDocuments] = "notepad\r\n";
  Box box = l.Load();
  // As the dialog does it: the launch itself records nothing; what the shell took is recorded.
  const auto run = [&](bool elevated) {
    const std::string before = l.files.data[kDocuments];
    const std::optional<std::string> command = l.core.Launch(box, elevated, 0x5150);
    EXPECT_EQ(l.files.data[kDocuments], before);
    if (command) EXPECT_EQ(l.Record(*command).kind, Kind::Done);
    return command.has_value();
  };
  box.text = "  NOTEPAD  ";
  EXPECT_TRUE(run(false));
  EXPECT_EQ(box.items, Lines{"notepad"});  // the list ignores case, the history does not
  EXPECT_EQ(l.shell.launched, "-|NOTEPAD||C:\\Windows\\system32");
  box.text = "\t\"C:\\Program Files\\a.exe\" -x  y ";
  EXPECT_TRUE(run(true));
  EXPECT_EQ(l.shell.launched, "runas|\t\"C:\\Program Files\\a.exe\"|-x  y|C:\\Windows\\system32");
  // Split as typed, then expanded: a value with spaces stays inside the program's path.
  l.shell.variables = {{"HOME", "C:\\Ann Lee"}, {"Q", "%HOME%"}, {"E", ""}};
  box.text = "%HOME%\\%E%a.txt %HOME%%Q% %NOPE% 50%%HOME%%";
  EXPECT_TRUE(run(false));
  EXPECT_EQ(l.shell.launched,
            "-|C:\\Ann Lee\\a.txt|C:\\Ann Lee%HOME% %NOPE% 50%C:\\Ann Lee%|C:\\Windows\\system32");
  EXPECT_EQ(l.files.data[kDocuments],
            "notepad\r\nNOTEPAD\r\n\t\"C:\\Program Files\\a.exe\" -x  y\r\n" + box.text + "\r\n");
  const std::string launched = l.shell.launched;  // a name no shell opens never reaches it
  box.text = std::string(2049, 'x');
  EXPECT_FALSE(run(false));
  EXPECT_EQ(l.notes.messages, (Said{{Id::TooLong, {}}}));
  EXPECT_EQ(l.shell.launched, launched);
  l.shell.accept = false;
  box.text = "missing";
  EXPECT_FALSE(run(true));
  EXPECT_EQ(box.items.back(), "missing");  // stays in the list while the dialog is open
  EXPECT_EQ(l.files.data[kDocuments].find("missing"), std::string::npos);
  EXPECT_EQ(TrimCommand(std::string(1 << 20, ' ')), "");  // linear, unlike a regex that recurses
}

}  // namespace
}  // namespace quillgate::testing
