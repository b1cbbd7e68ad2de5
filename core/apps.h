// Installed apps offered by name: the Start menu's shortcuts and the system's packaged apps, as
// one list matched against what is typed, and the launch an exact name stands for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/command_line.h"

namespace quillgate {

class IShell;
class INotifier;

// The letters also name the kinds and places in the cache's lines.
enum class AppKind : char { Shortcut = 'S', Packaged = 'P' };
enum class AppOrigin : char { UserPrograms = 'U', CommonPrograms = 'C', AppsFolder = 'A' };

struct AppEntry {
  std::string name;  // as the shell displays it, in the user's language
  AppKind kind = AppKind::Shortcut;
  std::string target;  // a shortcut's path (.lnk, .url), or a packaged app's AppUserModelID
  AppOrigin origin = AppOrigin::UserPrograms;
  bool operator==(const AppEntry& o) const {
    return name == o.name && kind == o.kind && target == o.target && origin == o.origin;
  }
};

// Where the apps come from: the Win32 layer over the shell, or tests' fakes. For a worker thread.
class IAppCatalog {
 public:
  virtual ~IAppCatalog() = default;
  // The folder the cache lives in, made if need be; empty when there is none to be had.
  virtual std::filesystem::path CacheFolder() = 0;
  // Changes whenever what ReadShortcuts or ReadPackaged would find may have changed, and costs
  // far less than either; one line of text, empty when it cannot be told.
  virtual std::string Stamp() = 0;
  // The shortcuts of the user's and all users' Programs folders, the user's first. False when a
  // folder that is there could not be read whole.
  virtual bool ReadShortcuts(std::vector<AppEntry>& apps) = 0;
  // The packaged apps; false when the system has no Apps folder, or it could not be listed.
  virtual bool ReadPackaged(std::vector<AppEntry>& apps) = 0;
};

// Letter case folded for matching, one code point to one: ASCII, Latin-1, Latin Extended-A,
// Latin Extended Additional (Vietnamese), Greek (final sigma as sigma), Cyrillic, Armenian and
// fullwidth Latin to lower case; the no-break and ideographic spaces to a space. Scripts without
// case, and whatever is not UTF-8, stay as they are.
std::string FoldCase(std::string_view utf8);

// Whether apps are offered for `text`: something typed, and not a path (no backslash, no drive,
// no %VARIABLE%).
bool IsAppQuery(std::string_view text);

// Whether folded `name`, or one of its words, begins with folded `typed` (not empty).
bool NameMatches(std::string_view name, std::string_view typed);

// Every app the catalog finds, each name once: a name found again (the same app in two places)
// keeps its first place, the user's shortcuts before all users', shortcuts before packaged apps.
// `complete`: false when a folder could not be read whole.
std::vector<AppEntry> GatherApps(IAppCatalog& catalog, bool* complete = nullptr);

// Whether Windows can open the app as administrator: a packaged app or an Internet shortcut it
// cannot.
bool CanElevate(const AppEntry& app);
// What the shell is handed for the app: its shortcut, so that the shortcut's arguments, working
// folder and elevation apply; a packaged app through the Apps folder.
LaunchRequest AppRequest(const AppEntry& app, bool elevated, std::uintptr_t owner);

// The apps as offered: by name, those the history shows launched first.
class AppList {
 public:
  void Assign(std::vector<AppEntry> apps);
  // The history's `count` lines, `line(i)` each: an app whose name (any case) is one of them
  // was launched.
  void NoteHistory(std::size_t count, const std::function<std::string_view(std::size_t)>& line);
  // The apps `typed` offers, launched first, each part by name.
  void Match(std::string_view typed, std::vector<std::size_t>& matches) const;
  // The app whose name is `text` (trimmed, any case), if any.
  const AppEntry* Exact(std::string_view text) const;
  const AppEntry& At(std::size_t index) const { return m_apps[index]; }
  std::size_t Size() const { return m_apps.size(); }

  // An exact name is launched as its app, before the text would be split into a program and its
  // arguments. Nothing when `command` names no app; else whether the shell took it (a packaged
  // app asked to run elevated is refused here and the user told why).
  std::optional<bool> Launch(const std::string& command, bool elevated, std::uintptr_t owner,
                             IShell& shell, INotifier& notifier) const;

 private:
  std::vector<AppEntry> m_apps;  // by folded name
  std::vector<std::string> m_folded;
  std::vector<bool> m_launched;
  std::unordered_map<std::string, std::size_t> m_byName;  // folded name: first index
};

}  // namespace quillgate
