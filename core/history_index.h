// The history's lines as loaded: found where they begin, in the file's own views or in copies.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "core/history_format.h"
#include "core/ports.h"

namespace quillgate {

// The history's lines still seen in the file's views, one per piece, each to give way to a copy
// made off the dialog's thread: a view held for long keeps other launchers from replacing it.
class FileViews {
 public:
  ~FileViews();
  std::size_t Pieces() const { return m_views.size(); }
  // A heap copy of the lines that begin in `piece`, through their ends; null: none, or let go.
  std::unique_ptr<char[]> CopyPiece(std::size_t piece) const;
  std::size_t Unmapped() const { return m_unmapped.load(std::memory_order_acquire); }
  // Lets every view go, so none holds the file against a rewrite; waits for a copy under way.
  void UnmapAll();

 private:
  friend struct LineLoader;
  friend class HistoryLines;
  void Unmap(std::size_t piece);

  mutable std::mutex m_mutex;  // between copies on the loading thread and letting go

  std::unique_ptr<IMappedFile> m_file;
  std::vector<const char*> m_views;
  std::vector<std::size_t> m_used;
  std::atomic<std::size_t> m_unmapped{0};
};

// The history's non-empty lines, oldest first, found by where they begin: in the text as read,
// or in the file's views until copies take over. They cost the file's size and 4 bytes a line.
class HistoryLines {
 public:
  std::size_t Count() const { return m_starts.size(); }
  // Where the line begins; it ends as AtLineEnd says.
  const char* LineStart(std::size_t index) const;
  std::string_view Line(std::size_t index) const;
  // A command the dialog added to its list.
  void Append(std::string_view line);
  void Erase(std::size_t index);
  // The views still to be copied, or null.
  const std::shared_ptr<FileViews>& Views() const { return m_views; }
  // In place of a view these lines are still seen in, once each; the view is let go.
  void PutCopyInPlace(const FileViews* from, std::size_t piece, std::unique_ptr<char[]> copy);
  void Clear();  // for a launcher about to record and end

 private:
  friend struct LineLoader;
  std::uint64_t m_piece = std::uint64_t{1} << 32;  // one piece: the text as read
  std::vector<const char*> m_bases;                // where each piece's first byte is
  std::string m_text;
  std::vector<std::unique_ptr<char[]>> m_copies;
  std::shared_ptr<FileViews> m_views;
  std::size_t m_adopted = 0;
  std::string m_appended;  // lines added later, each ended by a zero byte, from `m_appendedAt` on
  std::uint32_t m_appendedAt = 0;
  std::vector<std::uint32_t> m_starts;
};

// Reads, checks and splits the whole history. Touches nothing but `files`, so it may run on
// another thread; reports nothing; Failed for one too large for the process. A UTF-8 history is
// seen in the file's views where it can be mapped, until each piece's copy is put in place.
ReadResult LoadLines(IFileSystem& files, const std::filesystem::path& path, HistoryLines& lines);

}  // namespace quillgate
