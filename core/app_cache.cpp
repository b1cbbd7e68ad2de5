#include "core/app_cache.h"

#include "core/text.h"

namespace quillgate {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kVersion = "QuillGate apps 1";

bool Storable(std::string_view text) {
  if (text.empty() || !IsUtf8(text)) return false;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// The next line of `text` without its CR LF; false when none is left or it is unfinished.
bool NextLine(std::string_view& text, std::string_view& line) {
  const auto end = text.find("\r\n");
  if (end == std::string_view::npos) return false;
  line = text.substr(0, end);
  text.remove_prefix(end + 2);
  return true;
}

bool KnownKind(char c) {
  return c == static_cast<char>(AppKind::Shortcut) || c == static_cast<char>(AppKind::Packaged);
}
bool KnownOrigin(char c) {
  return c == static_cast<char>(AppOrigin::UserPrograms) ||
         c == static_cast<char>(AppOrigin::CommonPrograms) ||
         c == static_cast<char>(AppOrigin::AppsFolder);
}

}  // namespace

std::string ComposeAppCache(const AppCache& cache) {
  std::string text(kVersion);
  text += "\r\nstamp\t" + cache.stamp + "\r\n";
  std::size_t count = 0;
  for (const AppEntry& app : cache.apps) {
    if (!Storable(app.name) || !Storable(app.target)) continue;
    text += static_cast<char>(app.kind);
    text += static_cast<char>(app.origin);
    text += '\t' + app.name + '\t' + app.target + "\r\n";
    ++count;
  }
  return text + "end\t" + std::to_string(count) + "\r\n";
}

std::optional<AppCache> ParseAppCache(std::string_view text) {
  std::string_view line;
  if (!NextLine(text, line) || line != kVersion) return std::nullopt;
  if (!NextLine(text, line) || line.substr(0, 6) != "stamp\t") return std::nullopt;
  AppCache cache;
  cache.stamp = std::string(line.substr(6));
  if (!cache.stamp.empty() && !Storable(cache.stamp)) return std::nullopt;
  while (NextLine(text, line)) {
    if (line.substr(0, 4) == "end\t") {
      // The count as ComposeAppCache writes it, to the digit, and nothing after it.
      if (line.substr(4) != std::to_string(cache.apps.size()) || !text.empty()) return std::nullopt;
      return cache;
    }
    const auto tab = line.find('\t', 3);
    if (line.size() < 3 || !KnownKind(line[0]) || !KnownOrigin(line[1]) || line[2] != '\t' ||
        tab == std::string_view::npos)
      return std::nullopt;
    AppEntry app{std::string(line.substr(3, tab - 3)), static_cast<AppKind>(line[0]),
                 std::string(line.substr(tab + 1)), static_cast<AppOrigin>(line[1])};
    if (!Storable(app.name) || !Storable(app.target)) return std::nullopt;
    cache.apps.push_back(std::move(app));
  }
  return std::nullopt;  // cut short: no end line
}

std::optional<AppCache> ReadAppCache(IFileSystem& files, const fs::path& folder) {
  std::string text;
  std::error_code error;
  try {
    if (files.ReadWhole(folder / kAppCacheName, text, error) != ReadResult::Ok) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;  // larger than memory: no cache of this program's
  }
  return ParseAppCache(text);
}

bool WriteAppCache(IFileSystem& files, const fs::path& folder, const AppCache& cache) {
  try {
    std::error_code error;
    // Held exclusively: a second launcher refreshing waits for this one's turn to end.
    auto temporary = files.ClaimTemporary(folder / kAppCacheTemporary, error);
    if (!temporary) return false;
    if (temporary->Write(ComposeAppCache(cache)) || temporary->MoveOver(folder / kAppCacheName)) {
      temporary->Remove();  // a torn or unplaced copy must never pass for the cache
      return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void LoadApps(IFileSystem& files, IAppCatalog& catalog,
              const std::function<void(const std::vector<AppEntry>& apps, bool fresh)>& deliver) {
  const fs::path folder = catalog.CacheFolder();
  std::optional<AppCache> cached;
  if (!folder.empty()) cached = ReadAppCache(files, folder);
  AppCache fresh{catalog.Stamp(), {}};
  // A stamp that cannot be told never passes for the Start menu's state.
  const bool current = cached && !fresh.stamp.empty() && cached->stamp == fresh.stamp;
  if (cached) deliver(cached->apps, current);
  if (current) return;
  bool complete = false;
  fresh.apps = GatherApps(catalog, &complete);
  deliver(fresh.apps, true);
  // A list read in part would stand for the whole one until the Start menu changed again.
  if (!folder.empty() && complete && Storable(fresh.stamp)) WriteAppCache(files, folder, fresh);
}

}  // namespace quillgate
