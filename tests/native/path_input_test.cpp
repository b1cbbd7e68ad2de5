#include <gtest/gtest.h>

#include <cctype>

#include "core/path_input.h"

namespace quillgate::testing {
namespace {

using Lines = std::vector<std::string>;

// Folders in memory. Letter case folds by ASCII; Explorer's order stands in as shortest first,
// so an order that is not the reader's own shows.
struct Reader final : IFolderReader {
  bool ReadFolder(const std::string& folder, const std::function<bool()>& wanted,
                  std::vector<FolderEntry>& entries) override {
    reads.push_back(folder);
    const auto found = folders.find(folder);
    if (found == folders.end() || !wanted()) return false;
    for (const auto& [name, hidden] : found->second) entries.push_back({name, Fold(name), hidden});
    return true;
  }
  std::string Fold(std::string_view text) override {
    std::string folded(text);
    for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return folded;
  }
  bool Before(const std::string& a, const std::string& b) override {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  }
  std::map<std::string, std::vector<std::pair<std::string, bool>>> folders;
  Lines reads;
};

std::optional<std::string> Variable(const std::string& name) {
  if (name == "D") return "  C:\\Data";
  if (name == "S") return "\\\\srv\\share";
  return std::nullopt;
}

TEST(Suggestions, AskForADrivePathOrAShareAndKeepWhatWasTyped) {
  // Typed, then what it asks for: typed, folder, rest.
  const Lines cases[] = {{"C:\\Win", "C:\\", "C:\\", "Win"},
                         {"%D%\\a b\\x y", "%D%\\a b\\", "C:\\Data\\a b\\", "x y"},
                         {"%S%\\", "%S%\\", "\\\\srv\\share\\", ""},
                         {" z:\\", " z:\\", "z:\\", ""},
                         {"\\\\?\\C:\\x", "\\\\?\\C:\\", "\\\\?\\C:\\", "x"}};
  for (const char* text : {"notepad", "notepad C:\\", "%NOPE%\\x", "\\\\srv\\", "\\\\srv\\\\",
                           "C:\\a*\\", "C:\\a?b\\", "C:relative\\", "\"C:\\x\\\" y", "1:\\"})
    EXPECT_FALSE(FolderOf(text, Variable).has_value()) << text;
  for (const Lines& c : cases) {
    const auto query = FolderOf(c[0], Variable);
    EXPECT_EQ(query ? (Lines{c[0], query->typed, query->folder, query->rest}) : Lines{}, c);
  }
}

TEST(Suggestions, ReadEachFolderOnceOfferVisibleNamesInTheReadersOrderAndDropStaleReads) {
  Reader reader;
  reader.folders["C:\\Data\\"] = {{"beta.txt", false}, {"Bxyzzyxyzzy", false}, {".", false},
                                  {"..", false},       {"bh", true},           {"alpha", false},
                                  {"B", false}};
  reader.folders["C:\\Other\\"] = {{"b1", false}};
  FolderSuggestions s(reader, Variable);
  const auto offered = [&] {
    Lines texts;
    for (std::size_t i = 0; i < s.Count(); ++i) texts.push_back(s.Text(i));
    return texts;
  };
  const auto read = [&](const std::string& folder) {
    std::vector<FolderEntry> entries;
    const bool ok = ReadSuggestible(
        reader, folder, [] { return true; }, entries);
    return s.Arrived(folder, ok, std::move(entries));
  };
  EXPECT_EQ(s.Typed("%D%\\b"), "C:\\Data\\");
  EXPECT_EQ(s.Count(), 0u);                   // nothing until the read arrives
  EXPECT_EQ(s.Typed("%D%\\"), std::nullopt);  // already being read
  EXPECT_EQ(s.Typed("C:\\Other\\"), "C:\\Other\\");
  EXPECT_FALSE(read("C:\\Data\\"));  // no longer wanted: dropped
  EXPECT_EQ(s.Typed("%D%\\b"), "C:\\Data\\");
  EXPECT_FALSE(read("C:\\Other\\"));
  EXPECT_TRUE(read("C:\\Data\\"));
  EXPECT_EQ(offered(), (Lines{"%D%\\B", "%D%\\beta.txt", "%D%\\Bxyzzyxyzzy"}));
  for (const char* typed : {"%D%\\BE", "%D%\\", "%D%\\bx", "%D%\\nothing", "plain", "%D%\\b"})
    EXPECT_EQ(s.Typed(typed), std::nullopt) << typed;  // the same folder is not read again
  EXPECT_EQ(s.Typed("%D%\\bE"), std::nullopt);
  EXPECT_EQ(offered(), Lines{"%D%\\beta.txt"});
  EXPECT_EQ(s.Text(1) + s.Text(733), "");  // past the last, as a reader of a closed list asks
  EXPECT_EQ(s.Typed("C:\\Missing\\"), "C:\\Missing\\");
  EXPECT_EQ(s.Typed("C:\\Data\\al"), std::nullopt);  // held, spelled otherwise: the same folder
  EXPECT_EQ(offered(), Lines{"C:\\Data\\alpha"});
  EXPECT_FALSE(s.Reading().has_value());
  EXPECT_FALSE(read("C:\\Missing\\"));  // asked for once, then not wanted
  EXPECT_EQ(s.Typed("C:\\Missing\\x"), "C:\\Missing\\");
  EXPECT_TRUE(read("C:\\Missing\\"));  // cannot be read: offers nothing, asks nothing more
  EXPECT_EQ(s.Typed("C:\\Missing\\"), std::nullopt);
  EXPECT_EQ(s.Count(), 0u);
  EXPECT_EQ(reader.reads,
            (Lines{"C:\\Data\\", "C:\\Other\\", "C:\\Data\\", "C:\\Missing\\", "C:\\Missing\\"}));
  std::vector<FolderEntry> entries;  // a read nobody waits for any more gives nothing
  EXPECT_FALSE(ReadSuggestible(
      reader, "C:\\Data\\", [] { return false; }, entries));
  EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace quillgate::testing
