#include "core/history_index.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quillgate {

FileViews::~FileViews() {
  for (const char* view : m_views)
    if (view) m_file->Unmap(view);
}

std::unique_ptr<char[]> FileViews::CopyPiece(std::size_t piece) const {
  const std::lock_guard<std::mutex> lock(m_mutex);
  const std::size_t used = m_used[piece];
  if (!used || !m_views[piece]) return nullptr;
  std::unique_ptr<char[]> copy(new char[used]);
  std::memcpy(copy.get(), m_views[piece], used);
  return copy;
}

void FileViews::Unmap(std::size_t piece) {
  const std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_views[piece]) return;
  m_file->Unmap(m_views[piece]);
  m_views[piece] = nullptr;
  m_unmapped.fetch_add(1, std::memory_order_release);
}

void FileViews::UnmapAll() {
  for (std::size_t piece = 0; piece < m_views.size(); ++piece) Unmap(piece);
}

const char* HistoryLines::LineStart(std::size_t index) const {
  const std::uint32_t start = m_starts[index];
  if (start >= m_appendedAt) return m_appended.data() + (start - m_appendedAt);
  if (m_bases.empty()) return m_text.data() + start;
  const auto piece = static_cast<std::size_t>(start / m_piece);
  return m_bases[piece] + (start - piece * m_piece);
}

std::string_view HistoryLines::Line(std::size_t index) const {
  const char* const start = LineStart(index);
  const char* end = start;
  while (!AtLineEnd(end)) ++end;
  return {start, static_cast<std::size_t>(end - start)};
}

void HistoryLines::Append(std::string_view line) {
  const std::size_t start = m_appendedAt + m_appended.size();
  if (start > UINT32_MAX) throw std::length_error("history");
  m_appended.append(line.data(), line.size());
  m_appended += '\0';
  m_starts.push_back(static_cast<std::uint32_t>(start));
}

void HistoryLines::Erase(std::size_t index) {
  m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(index));
}

void HistoryLines::PutCopyInPlace(const FileViews* from, std::size_t piece,
                                  std::unique_ptr<char[]> copy) {
  if (!m_views || m_views.get() != from || piece >= m_bases.size() || !m_views->m_views[piece])
    return;
  m_bases[piece] = copy.get();
  if (copy) m_copies.push_back(std::move(copy));
  m_views->Unmap(piece);
  if (++m_adopted == m_bases.size()) m_views.reset();
}

void HistoryLines::Clear() {
  if (m_views) m_views->UnmapAll();
  *this = HistoryLines();
}

struct LineLoader {
  // False, keeping nothing, when the history has to be read instead.
  static bool Mapped(std::unique_ptr<IMappedFile> file, HistoryLines& lines) {
    const std::uint64_t size = file->Size();
    const std::uint64_t piece = file->PieceSize();
    // Lines are found by 32-bit offsets.
    if (size > UINT32_MAX || piece < 2 || piece > UINT32_MAX / 2) return false;
    IMappedFile& source = *file;
    auto views = std::make_shared<FileViews>();
    views->m_file = std::move(file);
    std::vector<std::uint32_t> starts;
    starts.reserve(static_cast<std::size_t>(size / 40));
    std::uint64_t pos = 0;  // where the next line begins
    for (std::uint64_t from = 0; from < size; from += piece) {
      // Two pieces' worth: a line that begins here, if no longer than a piece, ends in the view.
      const auto length = static_cast<std::size_t>(std::min(size - from, 2 * piece));
      const char* const view = source.Map(from, length);
      if (!view) return false;
      views->m_views.push_back(view);
      views->m_used.push_back(0);
      if (from == 0) pos = FirstLineStart(std::string_view(view, std::min<std::size_t>(length, 3)));
      const std::uint64_t next = from + piece;  // where the next piece's lines begin
      if (pos >= next) continue;                // the line before ran through this piece
      const std::uint64_t first = pos;
      // Line ends within the piece; a CR LF across its end still ends one of its lines.
      const auto bound = static_cast<std::size_t>(std::min(next + 1, from + length) - from);
      pos = from + ForEachLine(view, static_cast<std::size_t>(pos - from), bound, false,
                               [&](std::size_t start, std::size_t) {
                                 starts.push_back(static_cast<std::uint32_t>(from + start));
                               });
      bool unfinished = false;
      if (pos < next && pos < size) {
        // The piece's last line, ending in the next piece (so not empty).
        const std::string_view rest(view + (pos - from), from + length - pos);
        const std::size_t crlf = rest.find("\r\n");
        if (crlf != std::string_view::npos) {
          starts.push_back(static_cast<std::uint32_t>(pos));
          pos += crlf + 2;
        } else if (from + length < size) {
          return false;  // a line longer than a piece
        } else {
          unfinished = true;
        }
      }
      // Line ends are ASCII: the lines are UTF-8 if each piece's share is, else reading rebuilds.
      if (!IsUtf8(std::string_view(view + (first - from), static_cast<std::size_t>(pos - first))))
        return false;
      views->m_used.back() = static_cast<std::size_t>(pos - from);
      if (unfinished) break;
    }
    source.EndMapping();
    lines = HistoryLines();
    if (starts.empty()) return true;
    lines.m_piece = piece;
    lines.m_bases = views->m_views;
    lines.m_appendedAt = static_cast<std::uint32_t>(size);
    lines.m_starts = std::move(starts);
    lines.m_views = std::move(views);
    return true;
  }

  static ReadResult Read(std::string contents, HistoryLines& lines) {
    if (contents.size() > UINT32_MAX) return ReadResult::Failed;
    std::vector<std::uint32_t> starts;
    const std::size_t rest = ForEachLine(contents.data(), FirstLineStart(contents), contents.size(),
                                         false, [&](std::size_t start, std::size_t) {
                                           starts.push_back(static_cast<std::uint32_t>(start));
                                         });
    // The unfinished line is dropped, so an appended line starts clean.
    contents.resize(rest);
    lines = HistoryLines();
    lines.m_text = std::move(contents);
    lines.m_appendedAt = static_cast<std::uint32_t>(lines.m_text.size());
    lines.m_starts = std::move(starts);
    return ReadResult::Ok;
  }
};

ReadResult LoadLines(IFileSystem& files, const std::filesystem::path& path, HistoryLines& lines) {
  try {
    std::error_code error;
    std::unique_ptr<IMappedFile> file;
    const ReadResult opened = files.MapFile(path, file, error);
    if (opened != ReadResult::Ok) return opened;
    if (file && LineLoader::Mapped(std::move(file), lines)) return ReadResult::Ok;
    std::string contents;
    const ReadResult result = files.ReadWhole(path, contents, error);
    if (result != ReadResult::Ok) return result;
    // One with lines in the old code page is rebuilt once with their text.
    if (!IsUtf8(contents)) {
      contents = DecodeLegacyLines(
          contents, [&files](std::string_view line) { return files.DecodeLegacy(line); });
    }
    return LineLoader::Read(std::move(contents), lines);
  } catch (const std::exception&) {
    // A history larger than the process can hold.
    return ReadResult::Failed;
  }
}

}  // namespace quillgate
