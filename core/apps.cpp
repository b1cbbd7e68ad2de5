#include "core/apps.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

#include "core/ports.h"
#include "core/text.h"

namespace quillgate {

namespace {

// The lower case of `c` where a table row covers it: [first, last], every `step`th from first,
// moved by `delta`.
char32_t Lower(char32_t c) {
  struct Row {
    char32_t first, last;
    int step, delta;
  };
  static constexpr Row kRows[] = {
      {0x41, 0x5A, 1, 32},     {0xC0, 0xD6, 1, 32},      {0xD8, 0xDE, 1, 32},
      {0x100, 0x12E, 2, 1},    {0x130, 0x130, 1, -0xC7}, {0x132, 0x136, 2, 1},
      {0x139, 0x147, 2, 1},    {0x14A, 0x176, 2, 1},     {0x178, 0x178, 1, -0x79},
      {0x179, 0x17D, 2, 1},    {0x386, 0x386, 1, 38},    {0x388, 0x38A, 1, 37},
      {0x38C, 0x38C, 1, 64},   {0x38E, 0x38F, 1, 63},    {0x391, 0x3A1, 1, 32},
      {0x3A3, 0x3AB, 1, 32},   {0x3C2, 0x3C2, 1, 1},     {0x400, 0x40F, 1, 80},
      {0x410, 0x42F, 1, 32},   {0x460, 0x480, 2, 1},     {0x48A, 0x4BE, 2, 1},
      {0x4C0, 0x4C0, 1, 15},   {0x4C1, 0x4CD, 2, 1},     {0x4D0, 0x52E, 2, 1},
      {0x531, 0x556, 1, 48},   {0x1E00, 0x1E94, 2, 1},   {0x1EA0, 0x1EFE, 2, 1},
      {0xFF21, 0xFF3A, 1, 32}, {0xA0, 0xA0, 1, -0x80},   {0x3000, 0x3000, 1, -0x2FE0},
  };
  for (const Row& row : kRows) {
    if (c >= row.first && c <= row.last && (c - row.first) % row.step == 0)
      return static_cast<char32_t>(static_cast<int>(c) + row.delta);
  }
  return c;
}

// `c` in UTF-8: the lead byte of its length, then six bits a byte.
void Append(std::string& out, char32_t c) {
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  out += static_cast<char>(kLead[extra] | c >> (6 * extra));
  for (int shift = 6 * (extra - 1); shift >= 0; shift -= 6)
    out += static_cast<char>(0x80 | (c >> shift & 0x3F));
}

// ASCII letters and digits, and every byte of a non-ASCII letter, continue a word; an apostrophe
// does too ("Director's Cut").
bool InWord(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         c == '\'';
}

bool EndsWithFolded(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && FoldCase(text.substr(text.size() - end.size())) == end;
}

void Deduplicate(std::vector<AppEntry>& apps) {
  std::unordered_set<std::string> seen;
  apps.erase(
      std::remove_if(apps.begin(), apps.end(),
                     [&](const AppEntry& app) { return !seen.insert(FoldCase(app.name)).second; }),
      apps.end());
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    const auto lead = static_cast<unsigned char>(utf8[0]);
    if (lead < 0x80) {
      out += static_cast<char>(lead >= 'A' && lead <= 'Z' ? lead + 32 : lead);
      utf8.remove_prefix(1);
      continue;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (Utf8Length(utf8.substr(0, length)) != length || utf8.size() < length) {
      out += utf8[0];  // not UTF-8: kept byte for byte
      utf8.remove_prefix(1);
      continue;
    }
    char32_t c = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) c = c << 6 | (utf8[i] & 0x3F);
    Append(out, Lower(c));
    utf8.remove_prefix(length);
  }
  return out;
}

bool IsAppQuery(std::string_view text) {
  text.remove_prefix(std::min(text.size(), text.find_first_not_of(' ')));
  if (text.empty() || text.find('\\') != std::string_view::npos) return false;
  if (text.size() >= 2 && text[1] == ':' && ((text[0] | 0x20) >= 'a' && (text[0] | 0x20) <= 'z'))
    return false;
  const auto open = text.find('%');
  return open == std::string_view::npos || text.find('%', open + 1) == std::string_view::npos;
}

bool NameMatches(std::string_view name, std::string_view typed) {
  if (typed.empty()) return false;
  for (std::size_t at = 0; at + typed.size() <= name.size(); ++at) {
    const bool wordStart = at == 0 || (!InWord(name[at - 1]) && InWord(name[at]));
    if (wordStart && name.compare(at, typed.size(), typed) == 0) return true;
  }
  return false;
}

std::vector<AppEntry> GatherApps(IAppCatalog& catalog, bool* complete) {
  std::vector<AppEntry> apps, packaged;
  const bool whole = catalog.ReadShortcuts(apps);
  // No Apps folder (older Windows, Wine): the Start menu's shortcuts are all there is.
  if (catalog.ReadPackaged(packaged)) apps.insert(apps.end(), packaged.begin(), packaged.end());
  // An entry without a name or a target cannot be offered or launched.
  apps.erase(std::remove_if(apps.begin(), apps.end(),
                            [](const AppEntry& a) { return a.name.empty() || a.target.empty(); }),
             apps.end());
  Deduplicate(apps);
  if (complete) *complete = whole;
  return apps;
}

bool CanElevate(const AppEntry& app) {
  return app.kind == AppKind::Shortcut && !EndsWithFolded(app.target, ".url");
}

LaunchRequest AppRequest(const AppEntry& app, bool elevated, std::uintptr_t owner) {
  LaunchRequest request;
  request.verb = elevated ? "runas" : "";
  request.file = app.kind == AppKind::Packaged ? R"(shell:AppsFolder\)" + app.target : app.target;
  request.owner = owner;
  return request;
}

void AppList::Assign(std::vector<AppEntry> apps) {
  Deduplicate(apps);
  std::vector<std::string> folded;
  folded.reserve(apps.size());
  for (const AppEntry& app : apps) folded.push_back(FoldCase(app.name));
  std::vector<std::size_t> order(apps.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::tie(folded[a], apps[a].name) < std::tie(folded[b], apps[b].name);
  });
  m_apps.clear();
  m_folded.clear();
  m_byName.clear();
  for (const std::size_t i : order) {
    m_byName.emplace(folded[i], m_apps.size());
    m_apps.push_back(std::move(apps[i]));
    m_folded.push_back(std::move(folded[i]));
  }
  m_launched.assign(m_apps.size(), false);
}

void AppList::NoteHistory(std::size_t count,
                          const std::function<std::string_view(std::size_t)>& line) {
  m_launched.assign(m_apps.size(), false);
  // Only a line as long as a name is folded: a history of a million lines is read in a blink.
  std::unordered_set<std::size_t> lengths;
  for (const AppEntry& app : m_apps) lengths.insert(app.name.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view text = line(i);
    if (!lengths.count(text.size())) continue;
    const auto found = m_byName.find(FoldCase(text));
    if (found != m_byName.end()) m_launched[found->second] = true;
  }
}

void AppList::Match(std::string_view typed, std::vector<std::size_t>& matches) const {
  matches.clear();
  typed.remove_prefix(std::min(typed.size(), typed.find_first_not_of(' ')));
  const std::string wanted = FoldCase(typed);
  for (const bool launched : {true, false}) {
    for (std::size_t i = 0; i < m_apps.size(); ++i) {
      if (m_launched[i] == launched && NameMatches(m_folded[i], wanted)) matches.push_back(i);
    }
  }
}

const AppEntry* AppList::Exact(std::string_view text) const {
  const auto found = m_byName.find(FoldCase(TrimCommand(text)));
  return found == m_byName.end() ? nullptr : &m_apps[found->second];
}

std::optional<bool> AppList::Launch(const std::string& command, bool elevated, std::uintptr_t owner,
                                    IShell& shell, INotifier& notifier) const {
  const AppEntry* app = Exact(command);
  if (!app) return std::nullopt;
  if (elevated && !CanElevate(*app)) {
    notifier.ShowMessage(messages::CannotElevate(app->name));
    return false;
  }
  return shell.Execute(AppRequest(*app, elevated, owner));
}

}  // namespace quillgate
