// Paths the user types or drops: the folder entries offered below the box, and the text a drop
// of files leaves in it.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/command_line.h"

namespace quillgate {

struct FolderEntry {
  std::string name;     // as the folder stores it
  std::string folded;   // the name with its letter case folded, as Windows compares file names
  bool hidden = false;  // hidden or system: left out, as Explorer leaves them out by default
};

// What suggestions need from the system's folders and its way of comparing names.
class IFolderReader {
 public:
  virtual ~IFolderReader() = default;
  // Every entry of `folder` (absolute, ending in a backslash), in any order, "." and ".."
  // allowed. False when it cannot be read, or stopped early once `wanted` says nobody waits.
  virtual bool ReadFolder(const std::string& folder, const std::function<bool()>& wanted,
                          std::vector<FolderEntry>& entries) = 0;
  virtual std::string Fold(std::string_view text) = 0;  // as ReadFolder folds names
  // True when `a` comes before `b` in Explorer's order.
  virtual bool Before(const std::string& a, const std::string& b) = 0;
};

struct FolderQuery {
  std::string typed;   // the text up to and including its last backslash, exactly as typed
  std::string folder;  // that part with %NAME% expanded: the folder to read
  std::string rest;    // what follows the last backslash: the start of the names offered
};

// The folder `text` asks for: its part up to the last backslash, once expanded, if that is a
// drive path (C:\...) or a share (\\server\share\...).
std::optional<FolderQuery> FolderOf(std::string_view text, const VariableLookup& lookup);

// Reads `folder` and keeps what suggestions offer, in their order. For a worker thread: it may
// wait on a disk or a server for as long as they take.
bool ReadSuggestible(IFolderReader& reader, const std::string& folder,
                     const std::function<bool()>& wanted, std::vector<FolderEntry>& entries);

// `text` with dropped `paths` appended, one space apart, each quoted when it holds a space (the
// launch splits the command at its first space).
std::string AppendDropped(std::string text, const std::vector<std::string>& paths);

// The suggestions for what is typed, from the last folder read. Typing within one folder reads
// it once; the caller reads, with ReadSuggestible, off the dialog's thread.
class FolderSuggestions {
 public:
  FolderSuggestions(IFolderReader& reader, VariableLookup lookup)
      : m_reader(reader), m_lookup(std::move(lookup)) {}

  // The folder to read when its entries are neither held nor being read; a read of any other
  // folder is no longer wanted then.
  std::optional<std::string> Typed(std::string_view text);
  // A read of `folder` ended. False, and nothing changes, unless it is the read last asked for.
  bool Arrived(const std::string& folder, bool ok, std::vector<FolderEntry> entries);
  const std::optional<std::string>& Reading() const { return m_reading; }

  std::size_t Count() const { return m_matches.size(); }
  // The text up to its last backslash as typed, and the entry's name; empty past the last.
  std::string Text(std::size_t index) const {
    return index < Count() ? m_query->typed + m_entries[m_matches[index]].name : std::string();
  }

 private:
  void Match();

  IFolderReader& m_reader;
  VariableLookup m_lookup;
  std::optional<FolderQuery> m_query;
  std::optional<std::string> m_held;  // the folder whose entries are held
  std::optional<std::string> m_reading;
  std::vector<FolderEntry> m_entries;
  std::vector<std::size_t> m_matches;  // indexes into m_entries
};

}  // namespace quillgate
