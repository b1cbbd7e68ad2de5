// The installed apps kept between runs, so that a start reads one small file instead of the
// Start menu: UTF-8 lines in the user's local application data.
//
//   QuillGate apps 1          the version: any other line here means a rebuild
//   stamp<TAB>STAMP           the catalog's stamp of the Start menu when the list was made
//   SU<TAB>NAME<TAB>TARGET    one app: kind and origin letters (see AppKind, AppOrigin)
//   end<TAB>COUNT             how many apps: a file cut short is told by its missing end
//
// A missing, stale or corrupt file costs a rebuild, never an error: the cache only ever stands
// in for a read of the Start menu.
#pragma once

#include <functional>

#include "core/apps.h"
#include "core/ports.h"

namespace quillgate {

struct AppCache {
  std::string stamp;
  std::vector<AppEntry> apps;
  bool operator==(const AppCache& o) const { return stamp == o.stamp && apps == o.apps; }
};

constexpr char kAppCacheName[] = "apps.txt";
constexpr char kAppCacheTemporary[] = "apps.tmp";

// The file's text; an app whose name or target holds a tab, a line end or another control
// character, or is not UTF-8, is left out (no shell names one so).
std::string ComposeAppCache(const AppCache& cache);
// Nothing unless `text` is a whole cache of this version, every line well formed.
std::optional<AppCache> ParseAppCache(std::string_view text);

// Nothing when missing, unreadable or corrupt.
std::optional<AppCache> ReadAppCache(IFileSystem& files, const std::filesystem::path& folder);
// Rewritten whole in one step, as the history is: written beside it, flushed, moved over it. Two
// launchers refreshing at once take turns, and each puts a whole list in place. False when it
// could not be written; the old file, if any, stays as it was.
bool WriteAppCache(IFileSystem& files, const std::filesystem::path& folder, const AppCache& cache);

// The apps for a worker thread to hand on: the cached list, `fresh` while the Start menu's stamp
// is the cached one; else, after a stale cache's list (the names it knows to launch while the
// Start menu is read), the list read afresh, which then replaces the cache.
void LoadApps(IFileSystem& files, IAppCatalog& catalog,
              const std::function<void(const std::vector<AppEntry>& apps, bool fresh)>& deliver);

}  // namespace quillgate
