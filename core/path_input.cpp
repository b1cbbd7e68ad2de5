#include "core/path_input.h"

#include <algorithm>
#include <utility>

namespace quillgate {

namespace {

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A folder the file APIs can list: a drive path or a share, and no character that a listing's
// pattern would take for a wildcard or that no name holds.
bool IsListable(std::string_view folder) {
  const bool device = folder.rfind(R"(\\?\)", 0) == 0;
  for (std::size_t i = 0; i < folder.size(); ++i) {
    const auto c = static_cast<unsigned char>(folder[i]);
    const bool deviceMark = device && i == 2;
    if (c < 0x20 || c == '*' || c == '"' || c == '<' || c == '>' || c == '|' ||
        (c == '?' && !deviceMark)) {
      return false;
    }
  }
  if (folder.size() >= 3 && IsLetter(folder[0]) && folder[1] == ':' && folder[2] == '\\') {
    return true;
  }
  // \\server\share\ at least: a server alone lists its shares, which no folder read shows.
  if (folder.rfind(R"(\\)", 0) != 0) return false;
  const auto server = folder.find('\\', 2);
  if (server == std::string_view::npos || server == 2) return false;
  const auto share = folder.find('\\', server + 1);
  return share != std::string_view::npos && share > server + 1;
}

}  // namespace

std::optional<FolderQuery> FolderOf(std::string_view text, const VariableLookup& lookup) {
  const auto last = text.rfind('\\');
  if (last == std::string_view::npos) return std::nullopt;
  FolderQuery query;
  query.typed = std::string(text.substr(0, last + 1));
  query.rest = std::string(text.substr(last + 1));
  query.folder = ExpandVariables(query.typed, lookup);
  // The launch trims the command's leading spaces; the look-up goes where the launch would.
  query.folder.erase(0, query.folder.find_first_not_of(' '));
  if (!IsListable(query.folder)) return std::nullopt;
  return query;
}

bool ReadSuggestible(IFolderReader& reader, const std::string& folder,
                     const std::function<bool()>& wanted, std::vector<FolderEntry>& entries) {
  entries.clear();
  if (!reader.ReadFolder(folder, wanted, entries)) {
    entries.clear();
    return false;
  }
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const FolderEntry& e) {
                                 return e.hidden || e.name.empty() || e.name == "." ||
                                        e.name == "..";
                               }),
                entries.end());
  // Sorted once per read, here; typing on only picks from this order.
  std::stable_sort(entries.begin(), entries.end(), [&](const FolderEntry& a, const FolderEntry& b) {
    return reader.Before(a.name, b.name);
  });
  return true;
}

std::string AppendDropped(std::string text, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    if (!text.empty() && text.back() != ' ') text += ' ';
    const bool quote = path.find(' ') != std::string::npos;
    if (quote) text += '"';
    text += path;
    if (quote) text += '"';
  }
  return text;
}

std::optional<std::string> FolderSuggestions::Typed(std::string_view text) {
  m_query = FolderOf(text, m_lookup);
  std::optional<std::string> read;
  if (!m_query || m_query->folder == m_held) {
    m_reading.reset();  // nothing to read for this text: a read under way is not wanted now
  } else if (m_query->folder != m_reading) {
    m_reading = m_query->folder;
    read = m_reading;
  }
  Match();
  return read;
}

bool FolderSuggestions::Arrived(const std::string& folder, bool ok,
                                std::vector<FolderEntry> entries) {
  if (folder != m_reading) return false;
  m_reading.reset();
  m_held = folder;
  // A folder that cannot be read offers nothing, and is not asked again while it is typed in.
  m_entries = ok ? std::move(entries) : std::vector<FolderEntry>();
  Match();
  return true;
}

void FolderSuggestions::Match() {
  m_matches.clear();
  if (!m_query || m_query->folder != m_held) return;
  const std::string prefix = m_reader.Fold(m_query->rest);
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    if (m_entries[i].folded.compare(0, prefix.size(), prefix) == 0) m_matches.push_back(i);
  }
}

}  // namespace quillgate
