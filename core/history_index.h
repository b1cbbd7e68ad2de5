// The history's lines as loaded: found where they begin, in the file's own views or in copies.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "core/history_format.h"
#include "core/ports.h"

namespace quillgate {

// The history's lines while they are still seen in the file itself: its views, one per piece,
// each to be put aside for a copy of its own, made off the dialog's thread. A view held for long
// would keep other launchers from replacing the history.
class FileViews {
 public:
  ~FileViews();
  std::size_t Pieces() const { return views_.size(); }
  // The bytes of the lines that begin in `piece`, through their line ends: what its view holds
  // of them, on the heap. Null when no line begins there.
  std::unique_ptr<char[]> CopyPiece(std::size_t piece) const;
  // How many views have been let go.
  std::size_t Unmapped() const { return unmapped_.load(std::memory_order_acquire); }
  // Lets go of every view left (a copy begun meanwhile is waited for; later ones find nothing),
  // so that nothing of this process holds the file against a rewrite.
  void UnmapAll();

 private:
  friend struct LineLoader;
  friend class HistoryLines;
  void Unmap(std::size_t piece);

  mutable std::mutex mutex_;  // between copies on the loading thread and letting go

  std::unique_ptr<IMappedFile> file_;
  std::vector<const char*> views_;
  std::vector<std::size_t> used_;
  std::atomic<std::size_t> unmapped_{0};
};

// The history's lines, oldest first, empty ones left out, each found by where it begins: in the
// history's text as read, or in the views of the file until their copies take over. A million
// lines cost the file's size and four bytes a line.
class HistoryLines {
 public:
  std::size_t Count() const { return starts_.size(); }
  // Where the line begins; it ends as AtLineEnd says.
  const char* LineStart(std::size_t index) const;
  std::string_view Line(std::size_t index) const;
  // Adds a line at the end (a command the dialog added to its list).
  void Append(std::string_view line);
  void Erase(std::size_t index);
  // The views still to be copied, or null.
  const std::shared_ptr<FileViews>& Views() const { return views_; }
  // Puts the copy of a piece in place of its view, which is let go.
  void PutCopyInPlace(const FileViews* from, std::size_t piece, std::unique_ptr<char[]> copy);
  // Copies every piece still seen in place, here and now: before the history is rewritten.
  void DetachFromFile();
  // No lines any more, and no views: for a launcher about to record and end.
  void Clear();

 private:
  friend struct LineLoader;
  std::uint64_t piece_ = std::uint64_t{1} << 32;  // one piece: the text as read
  std::vector<const char*> bases_;                // where each piece's first byte is
  std::string text_;
  std::vector<std::unique_ptr<char[]>> copies_;
  std::shared_ptr<FileViews> views_;
  std::size_t adopted_ = 0;
  // Lines added later, each ended by a zero byte, begin at `appendedAt_` and on.
  std::string appended_;
  std::uint32_t appendedAt_ = 0;
  std::vector<std::uint32_t> starts_;
};

// Reads, checks and splits the whole history at `path`. Touches nothing but `files`, so it may
// run on another thread; reports nothing. A history too large for the process is Failed. A
// history in UTF-8 is seen in place where the file can be mapped: its lines then stay in the
// file's views until each piece's copy is put in place.
ReadResult LoadLines(IFileSystem& files, const std::filesystem::path& path, HistoryLines& lines);

}  // namespace quillgate
