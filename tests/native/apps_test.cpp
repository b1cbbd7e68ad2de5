#include <gtest/gtest.h>

#include "core/app_cache.h"
#include "tests/native/fakes.h"

namespace quillgate::testing {
namespace {

// The Start menu and the Apps folder as a test lays them out; counts how often each is read.
struct Catalog final : IAppCatalog {
  fs::path CacheFolder() override { return "/local/QuillGate"; }
  std::string Stamp() override { return stamp; }
  bool ReadShortcuts(std::vector<AppEntry>& apps) override { return apps = shortcuts, ++reads; }
  bool ReadPackaged(std::vector<AppEntry>& apps) override { return apps = packaged, hasAppsFolder; }
  std::vector<AppEntry> shortcuts = {
      {"Notepad", AppKind::Shortcut, R"(C:\U\Notepad.lnk)", AppOrigin::UserPrograms},
      {"Visual Studio Code", AppKind::Shortcut, R"(C:\U\VS Code.lnk)", AppOrigin::UserPrograms},
      {"NOTEPAD", AppKind::Shortcut, R"(C:\All\Notepad.lnk)", AppOrigin::CommonPrograms},
      {"Éditeur Übersicht", AppKind::Shortcut, R"(C:\All\é.lnk)", AppOrigin::CommonPrograms},
      {"Wiki", AppKind::Shortcut, R"(C:\All\Wiki.url)", AppOrigin::CommonPrograms}};
  std::vector<AppEntry> packaged = {
      {"Photos", AppKind::Packaged, "Microsoft.Photos_8w!App", AppOrigin::AppsFolder},
      {"notepad", AppKind::Packaged, "Microsoft.Notepad_8w!App", AppOrigin::AppsFolder},
      {"Paint", AppKind::Packaged, "Microsoft.Paint_8w!App", AppOrigin::AppsFolder}};
  bool hasAppsFolder = true;
  std::string stamp = "s1";
  int reads = 0;
};

TEST(Apps, MatchAWordStartInAnyCaseAndScriptOnlyForTextThatIsNoPath) {
  // Name/typed: matching rows, then others.
  const auto matches = [](const std::string& row) {
    const auto at = row.find('/');
    return NameMatches(FoldCase(row.substr(0, at)), FoldCase(row.substr(at + 1)));
  };
  for (const char* row :
       {"Visual Studio Code/vis", "Visual Studio Code/STUDIO C", "7-Zip File Manager/zip",
        "Éditeur Übersicht/ÜBER", "ÉDITEUR/édi", "Блокнот Плюс/плю", "σημειώσεις/ΣΗΜΕΙΏ",
        "日本語 エディタ/エディ", "İstanbul/ist"})
    EXPECT_TRUE(matches(row)) << row;
  for (const char* row : {"Visual Studio Code/isual", "ΣΗΜΕΙΩΣΕΙΣ/σημειώ", "Ärger/ar", "Paint/",
                          "Word's Tool/s tool"})
    EXPECT_FALSE(matches(row)) << row;
  for (const char* text : {"spot", "  word 2", "50%"}) EXPECT_TRUE(IsAppQuery(text)) << text;
  for (const char* text : {"", "  ", "a\\b", "c:", "%APPDATA%x"})
    EXPECT_FALSE(IsAppQuery(text)) << text;
}

TEST(Apps, EachNameOnceLaunchedFirstThenByNameAndExactNamesLaunchTheirApp) {
  Catalog catalog;
  AppList list;
  list.Assign(GatherApps(catalog));
  ASSERT_EQ(list.Size(), 6u);  // both Notepads and the packaged one are one app: the user's
  EXPECT_EQ(list.Exact(" nOTEPAD ")->target, R"(C:\U\Notepad.lnk)");
  const std::vector<std::string_view> history = {"VS", "visual studio code", "Photos", "p"};
  list.NoteHistory(history.size(), [&](std::size_t i) { return history[i]; });
  std::vector<std::size_t> matches;
  std::vector<std::string> names;
  for (const char* typed : {"  v", "p", "w"}) {
    list.Match(typed, matches);
    for (const std::size_t i : matches) names.push_back(list.At(i).name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Visual Studio Code", "Photos", "Paint", "Wiki"}));

  Rig rig;
  rig.core.UseApps(&list);
  Box box;
  const std::pair<std::string, std::string> launches[] = {
      {"notepad", R"(-|C:\U\Notepad.lnk||)"},  // before the split: no program "notepad"
      {"visual studio code", R"(-|C:\U\VS Code.lnk||)"},
      {"photos", R"(-|shell:AppsFolder\Microsoft.Photos_8w!App||)"},
      {"notepad x.txt", R"(-|notepad|x.txt|C:\Windows\system32)"}};  // no app: as before
  for (const auto& [typed, launched] : launches) {
    box.text = typed;
    EXPECT_EQ(rig.core.Launch(box, false, 0), typed);
    EXPECT_EQ(rig.shell.launched, launched);
  }
  box.text = "Notepad";
  EXPECT_EQ(rig.core.Launch(box, true, 0), "Notepad");
  EXPECT_EQ(rig.shell.launched, R"(runas|C:\U\Notepad.lnk||)");
  rig.shell.launched.clear();
  for (const char* cannot : {"photos", "WIKI"}) {  // told, not handed on
    box.text = cannot;
    EXPECT_EQ(rig.core.Launch(box, true, 0), std::nullopt);
  }
  EXPECT_EQ(rig.shell.launched, "");
  EXPECT_EQ(rig.notes.messages, (std::vector<messages::Message>{messages::CannotElevate("Photos"),
                                                                messages::CannotElevate("Wiki")}));

  catalog.hasAppsFolder = false;  // no Apps folder: the shortcuts alone, silently
  list.Assign(GatherApps(catalog));
  EXPECT_EQ(list.Size(), 4u);
  EXPECT_EQ(list.Exact("photos"), nullptr);
}

TEST(AppCache, ReadOnceRebuiltWhenStaleOrCorruptAndRewrittenWholeOrNotAtAll) {
  Files files;
  Catalog catalog;
  const fs::path cache = "/local/QuillGate/apps.txt";
  std::vector<std::pair<std::size_t, bool>> delivered;  // how many apps, and whether fresh
  const auto load = [&] {
    delivered.clear();
    LoadApps(files, catalog, [&](const std::vector<AppEntry>& apps, bool fresh) {
      delivered.emplace_back(apps.size(), fresh);
    });
  };
  using Lists = decltype(delivered);
  load();  // none yet: read, delivered, kept
  EXPECT_EQ(delivered, (Lists{{6, true}}));
  const std::string kept = files.data.at(cache);
  load();  // the same Start menu: the cache alone
  EXPECT_EQ(delivered, (Lists{{6, true}}));
  EXPECT_EQ(catalog.reads, 1);
  files.data[cache] = "QuillGate apps 1\r\n";  // damaged (the fuzz target tries every way): rebuilt
  load();
  EXPECT_EQ(delivered, (Lists{{6, true}}));
  EXPECT_EQ(files.data.at(cache), kept);
  // A changed Start menu: the stale list, not to be offered, then the new one; a write that fails,
  // torn or unplaced, leaves the old file whole and no temporary file behind.
  catalog.shortcuts.pop_back();
  catalog.stamp = "s2";
  for (const Fault fault : {Fault::Write, Fault::Move, Fault::None}) {
    files.fault = fault;
    files.wrote = 0;
    load();
    EXPECT_EQ(delivered, (Lists{{6, false}, {5, true}}));
    EXPECT_EQ(files.data.size(), 1u);
    EXPECT_EQ(files.data.at(cache) == kept, fault != Fault::None);
  }
}

}  // namespace
}  // namespace quillgate::testing
