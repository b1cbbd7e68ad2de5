#include "core/launch_core.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace quillgate {
namespace fs = std::filesystem;

namespace {

constexpr const char kLoadFailure[] = "Failed to open quillgate.ini";
constexpr const char kTooLong[] = "The command is too long for Windows to open.";
constexpr const char kNothingToForget[] =
    "This command is not in quillgate.ini, so there was nothing to forget.";
constexpr const char kForgetFailed[] = "The command could not be forgotten: ";
// No program, document or address the shell opens has a longer name (its longest is an Internet
// address, 2,083 units less the terminator and slack); some shells overrun their own buffers
// when handed a far longer one, so such a name never reaches them.
constexpr std::size_t kLongestName = 2048;
UpdateStepHook g_stepHook = nullptr;

// The length of UTF-8 `text` in UTF-16 units, as the shell counts: one for every byte that starts
// a character, two for one that starts a pair.
std::size_t Utf16Units(std::string_view text) {
  std::size_t units = 0;
  for (const char c : text) units += (c & 0xC0) == 0x80 ? 0 : (c & 0xF8) == 0xF0 ? 2 : 1;
  return units;
}

// The UTF-8 mark an editor may put at the start of the file; part of no line.
constexpr std::string_view kMark = "\xEF\xBB\xBF";
std::size_t MarkLength(std::string_view text) {
  return text.substr(0, kMark.size()) == kMark ? kMark.size() : 0;
}

void ReachedStep(UpdateStep step) {
  if (g_stepHook) g_stepHook(step);
}

#if defined(__SSE2__)
// A bit for each of the 64 bytes at `p` that equals the byte in every lane of `wanted`.
std::uint64_t Mask64(const char* p, __m128i wanted) {
  std::uint64_t mask = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
    const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    mask |= static_cast<std::uint64_t>(bits) << (16 * part);
  }
  return mask;
}
#endif

// Calls `lineEnd(at)` for every CR immediately followed by LF, in order; `at` is the CR's index.
// Histories are long lists of short lines: a call of memchr per line costs more than the read of
// the file, so where the processor has SSE2 the bytes are looked at 64 at a time.
template <typename LineEnd>
void ForEachCrLf(const char* text, std::size_t size, LineEnd lineEnd) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; i + 65 <= size; i += 64) {
    std::uint64_t ends = Mask64(text + i, cr) & Mask64(text + i + 1, lf);
    while (ends) {
      lineEnd(i + static_cast<std::size_t>(__builtin_ctzll(ends)));
      ends &= ends - 1;
    }
  }
#endif
  while (i + 1 < size) {
    const void* found = std::memchr(text + i, '\r', size - 1 - i);
    if (!found) break;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - text);
    if (text[at + 1] == '\n') lineEnd(at);
    i = at + 1;
  }
}

}  // namespace

void SetUpdateStepHookForTesting(UpdateStepHook hook) {
  g_stepHook = hook;
}

const char* DataFileName(DataFile kind) {
  return kind == DataFile::History ? "quillgate.ini" : "quillgate.inf";
}

std::string TrimCommand(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

CommandParts SplitCommandLine(std::string_view command) {
  bool quoted = false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == ' ' && !quoted) {
      return {std::string(command.substr(0, i)), std::string(command.substr(i + 1))};
    }
    if (c == '"') quoted = !quoted;
  }
  // No arguments: PathRemoveArgs still drops a final space, even one inside open quotes.
  std::string file(command);
  if (!file.empty() && file.back() == ' ') file.pop_back();
  return {std::move(file), {}};
}

bool IsUtf8(std::string_view text) {
  return Utf8Length(text) == text.size();
}

std::size_t Utf8Length(std::string_view text) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* p = begin;
  const auto* const end = p + text.size();
  static constexpr std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  while (p < end) {
#if defined(__SSE2__)
    // Histories are mostly ASCII: 16 bytes at a time while no byte has its high bit.
    while (end - p >= 16 &&
           !_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))))
      p += 16;
    if (p == end) break;
#endif
    const unsigned lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    int extra = 0;
    std::uint32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07;
    } else {
      break;
    }
    if (end - p <= extra) break;
    int i = 1;
    for (; i <= extra && (p[i] & 0xC0) == 0x80; ++i) code = code << 6 | (p[i] & 0x3F);
    if (i <= extra || code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      break;
    p += extra + 1;
  }
  return static_cast<std::size_t>(p - begin);
}

std::string ExpandVariables(std::string_view text, const VariableLookup& lookup) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto open = text.find('%', pos);
    const auto close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out += text.substr(pos, open - pos);
    const std::string name(text.substr(open + 1, close - open - 1));
    std::optional<std::string> value;
    if (!name.empty()) value = lookup(name);
    if (value) {
      out += *value;
      pos = close + 1;
    } else {
      out += text.substr(open, close - open);
      pos = close;
    }
  }
  out += text.substr(std::min(pos, text.size()));
  return out;
}

std::string ComposeHistory(std::string_view existing, std::string_view command,
                           const LegacyDecoder& decode, bool append, std::size_t* dropped) {
  std::string out;
  out.reserve(existing.size() + command.size() + 2);
  const std::size_t mark = MarkLength(existing);
  out.append(existing.substr(0, mark));
  // Only a history with a line in the old code page needs a line-by-line look at its encoding,
  // and only one holding a NUL (where the box ends an item) a look for it.
  const bool allUtf8 = IsUtf8(existing);
  const bool nul = existing.find('\0') != std::string_view::npos;
  const auto shown = [nul](std::string_view text) {
    return nul ? text.substr(0, text.find('\0')) : text;
  };
  // A command is the same command whichever encoding its line was written in.
  const auto same = [&](std::string_view line) {
    return shown(line) == command || (!allUtf8 && !IsUtf8(line) && shown(decode(line)) == command);
  };
  std::size_t drops = 0;
  std::string part;
  // Calls `each` with every part of `line` between LFs, its CRs removed; a finished line ends in
  // one more part, even an empty one, as its CR LF did when lines were split at LF alone.
  const auto forEachPart = [&](std::string_view line, bool finished, auto each) {
    for (std::size_t p = 0; p < line.size() || (finished && p == line.size());) {
      const std::size_t end = std::min(line.find('\n', p), line.size());
      part.clear();
      for (const char c : line.substr(p, end - p)) {
        if (c != '\r') part.push_back(c);
      }
      each(std::string_view(part));
      p = end + 1;
    }
  };
  std::size_t pos = mark;
  while (pos < existing.size()) {
    // Mostly the next LF ends the line, after its CR; only a line with a bare LF looks further.
    std::size_t lf = existing.find('\n', pos);
    const bool plain = lf != std::string_view::npos && lf > pos && existing[lf - 1] == '\r';
    if (!plain && lf != std::string_view::npos) {
      lf = existing.find("\r\n", lf + 1);
      if (lf != std::string_view::npos) ++lf;
    }
    const bool finished = lf != std::string_view::npos;
    const std::string_view line = existing.substr(pos, (finished ? lf - 1 : existing.size()) - pos);
    pos = finished ? lf + 1 : existing.size();
    if (same(line)) {
      ++drops;
      continue;
    }
    // Lines are copied whole; only the rare one with a CR or LF inside is rebuilt.
    if (plain && line.find('\r') == std::string_view::npos) {
      out += line;
      out += "\r\n";
      continue;
    }
    // In a forget, a line that would turn into the command once rebuilt stays as it stands, or
    // what was forgotten would be back.
    bool turnsInto = false;
    if (!append && finished) {
      forEachPart(line, finished, [&](std::string_view each) { turnsInto |= same(each); });
    }
    if (turnsInto) {
      out += line;
      out += "\r\n";
      continue;
    }
    forEachPart(line, finished, [&](std::string_view each) {
      if (same(each)) {
        ++drops;
      } else {
        out += each;
        out += "\r\n";
      }
    });
  }
  if (append) {
    out += command;
    out += "\r\n";
  }
  // A line that comes first and begins as a mark would lose that to the loader: a mark of the
  // file's own goes before it.
  if (!mark && MarkLength(out)) out.insert(0, kMark);
  if (dropped) *dropped = drops;
  return out;
}

fs::path LaunchCore::ResolveDataPath(DataFile kind) {
  const fs::path name = DataFileName(DataFile::History);
  fs::path history = files_.ProgramFolder() / name;
  if (!files_.Exists(history)) {
    const fs::path documents = files_.DocumentsFolder();
    // Without a documents folder the program folder is the only place left to keep a history.
    if (!documents.empty()) history = documents / name;
  }
  return kind == DataFile::History ? history : history.parent_path() / DataFileName(kind);
}

MappedText::~MappedText() {
  for (const char* view : views_) {
    if (view) file_->Unmap(view);
  }
}

std::unique_ptr<char[]> MappedText::Copy(std::size_t piece) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const std::size_t used = used_[piece];
  if (!used || !views_[piece]) return nullptr;
  std::unique_ptr<char[]> copy(new char[used]);
  std::memcpy(copy.get(), views_[piece], used);
  return copy;
}

void MappedText::Release(std::size_t piece) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!views_[piece]) return;
  file_->Unmap(views_[piece]);
  views_[piece] = nullptr;
  released_.fetch_add(1, std::memory_order_release);
}

void MappedText::ReleaseAll() {
  for (std::size_t piece = 0; piece < views_.size(); ++piece) Release(piece);
}

const char* HistoryLines::LineStart(std::size_t index) const {
  const std::uint32_t start = starts_[index];
  if (start >= appendedAt_) return appended_.data() + (start - appendedAt_);
  if (bases_.empty()) return text_.data() + start;
  const auto piece = static_cast<std::size_t>(start / piece_);
  return bases_[piece] + (start - piece * piece_);
}

std::string_view HistoryLines::Line(std::size_t index) const {
  const char* const start = LineStart(index);
  const char* end = start;
  while (!AtLineEnd(end)) ++end;
  return {start, static_cast<std::size_t>(end - start)};
}

void HistoryLines::Append(std::string_view line) {
  const std::size_t start = appendedAt_ + appended_.size();
  if (start > UINT32_MAX) throw std::length_error("history");
  appended_.append(line.data(), line.size());
  appended_ += '\0';
  starts_.push_back(static_cast<std::uint32_t>(start));
}

void HistoryLines::Erase(std::size_t index) {
  starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(index));
}

void HistoryLines::Adopt(const MappedText* from, std::size_t piece, std::unique_ptr<char[]> copy) {
  // Only for the views these lines are still seen in, once each.
  if (!mapped_ || mapped_.get() != from || piece >= bases_.size() || !mapped_->views_[piece]) {
    return;
  }
  bases_[piece] = copy.get();
  if (copy) copies_.push_back(std::move(copy));
  mapped_->Release(piece);
  if (++adopted_ == bases_.size()) mapped_.reset();
}

void HistoryLines::CopyRest() {
  const std::shared_ptr<MappedText> mapped = mapped_;
  for (std::size_t piece = 0; mapped && piece < mapped->Pieces(); ++piece) {
    Adopt(mapped.get(), piece, mapped->Copy(piece));
  }
}

void HistoryLines::LetGo() {
  if (mapped_) mapped_->ReleaseAll();
  *this = HistoryLines();
}

bool LaunchCore::LoadLastCommand(ICommandBox& box) {
  // From the end, in growing pieces until one holds a whole non-empty line (or is the whole
  // file): the last line's length, not the history's, sets the cost.
  std::string tail;
  try {
    const fs::path path = ResolveDataPath(DataFile::History);
    // Most commands fit the first piece; each further one is four times as large.
    for (std::size_t want = 64;; want *= 4) {
      std::error_code error;
      const ReadResult result = files_.ReadTail(path, want, tail, error);
      if (result == ReadResult::Missing) return true;
      if (result == ReadResult::Failed) break;
      const bool whole = tail.size() < want;
      // Only CR LF ends a line, so whatever follows the last one is no finished line. A line end
      // that a piece cuts in two is never taken for one: a piece's first byte is no line start.
      for (std::size_t end = tail.size(); end >= 2;) {
        const std::size_t crlf = tail.rfind("\r\n", end - 2);
        if (crlf == std::string::npos) break;
        const std::size_t before = crlf == 0 ? std::string::npos : tail.rfind("\r\n", crlf - 1);
        if (before == std::string::npos && !whole) break;
        // The whole file: its first line begins after the mark it may have been saved with.
        const std::size_t start = before == std::string::npos ? MarkLength(tail) : before + 2;
        if (start < crlf) {
          std::string line = tail.substr(start, crlf - start);
          if (!IsUtf8(line)) line = Decode(line);
          // As a list item: up to its first zero byte.
          box.SetText(line.substr(0, line.find('\0')));
          return true;
        }
        end = crlf;
      }
      if (whole) return true;
    }
  } catch (const std::exception&) {
    // The existence test's error, or a piece larger than the process can hold.
  }
  notifier_.ShowMessage(kLoadFailure);
  return false;
}

bool LaunchCore::LoadMapped(std::unique_ptr<IMappedFile> file, HistoryLines& lines) {
  const std::uint64_t size = file->Size();
  const std::uint64_t piece = file->PieceSize();
  // Lines are found by 32-bit offsets.
  if (size > UINT32_MAX || piece < 2 || piece > UINT32_MAX / 2) return false;
  IMappedFile& source = *file;
  auto mapped = std::make_shared<MappedText>();
  mapped->file_ = std::move(file);
  std::vector<std::uint32_t> starts;
  starts.reserve(static_cast<std::size_t>(size / 40));
  std::uint64_t pos = 0;  // where the next line begins
  for (std::uint64_t from = 0; from < size; from += piece) {
    // Two pieces' worth, so that a line that begins in this piece ends in its view however it
    // lies across the piece's end; only a line longer than a piece does not.
    const auto length = static_cast<std::size_t>(std::min(size - from, 2 * piece));
    const char* const view = source.Map(from, length);
    if (!view) return false;
    mapped->views_.push_back(view);
    mapped->used_.push_back(0);
    if (from == 0) pos = MarkLength(std::string_view(view, std::min<std::size_t>(length, 3)));
    const std::uint64_t next = from + piece;  // where the next piece's lines begin
    if (pos >= next) continue;                // the line before ran through this piece
    const std::uint64_t first = pos;
    // Line ends within the piece; a CR LF across its end still ends one of its lines.
    const auto begin = static_cast<std::size_t>(pos - from);
    const auto bound = static_cast<std::size_t>(std::min(next + 1, from + length) - from);
    ForEachCrLf(view + begin, bound - begin, [&](std::size_t at) {
      const std::uint64_t end = from + begin + at;
      if (end > pos) starts.push_back(static_cast<std::uint32_t>(pos));
      pos = end + 2;
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
        unfinished = true;  // what follows the last line end, which is no line
      }
    }
    // Line ends are ASCII, so the lines together are UTF-8 when each piece's share of them is;
    // one that is not asks for the history's text rebuilt, which reading does.
    if (!IsUtf8(std::string_view(view + (first - from), static_cast<std::size_t>(pos - first)))) {
      return false;
    }
    mapped->used_.back() = static_cast<std::size_t>(pos - from);
    if (unfinished) break;
  }
  source.EndMapping();
  lines = HistoryLines();
  if (starts.empty()) return true;
  lines.piece_ = piece;
  lines.bases_ = mapped->views_;
  lines.appendedAt_ = static_cast<std::uint32_t>(size);
  lines.starts_ = std::move(starts);
  lines.mapped_ = std::move(mapped);
  return true;
}

ReadResult LaunchCore::LoadLines(IFileSystem& files, const fs::path& path, HistoryLines& lines) {
  std::string contents;
  try {
    std::error_code error;
    std::unique_ptr<IMappedFile> file;
    const ReadResult opened = files.MapFile(path, file, error);
    if (opened != ReadResult::Ok) return opened;
    if (file && LoadMapped(std::move(file), lines)) return ReadResult::Ok;
    const ReadResult result = files.ReadWhole(path, contents, error);
    if (result != ReadResult::Ok) return result;
    // A history all in UTF-8 is loaded as it is; one with lines from the old code page is
    // rebuilt once with their text.
    if (!IsUtf8(contents)) contents = DecodeLegacyLines(files, contents);
    // Lines are found by 32-bit offsets.
    if (contents.size() > UINT32_MAX) return ReadResult::Failed;
    // Only CR LF ends a line here; whatever follows the last CR LF is not a finished line.
    std::vector<std::uint32_t> starts;
    std::size_t lineStart = MarkLength(contents);  // the file's mark, were it saved with one
    ForEachCrLf(contents.data(), contents.size(), [&](std::size_t at) {
      if (at > lineStart) starts.push_back(static_cast<std::uint32_t>(lineStart));
      lineStart = at + 2;
    });
    // What followed the last line end is no line: dropped, so an appended line starts clean.
    contents.resize(lineStart);
    lines = HistoryLines();
    lines.text_ = std::move(contents);
    lines.appendedAt_ = static_cast<std::uint32_t>(lines.text_.size());
    lines.starts_ = std::move(starts);
    return ReadResult::Ok;
  } catch (const std::exception&) {
    // A history larger than the process can hold.
    return ReadResult::Failed;
  }
}

void LaunchCore::ReportUnreadableHistory() {
  notifier_.ShowMessage(kLoadFailure);
}

void LaunchCore::LoadHistory(ICommandBox& box) {
  if (!LoadLastCommand(box)) return;
  HistoryLines lines;
  try {
    if (LoadLines(files_, ResolveDataPath(DataFile::History), lines) != ReadResult::Failed) {
      for (std::size_t i = 0; i < lines.Count(); ++i)
        box.AddString(std::string(lines.Line(i)).c_str());
      return;
    }
  } catch (const std::exception&) {
    // The existence test's error, or more lines than the box can keep: those it has stay.
  }
  notifier_.ShowMessage(kLoadFailure);
}

std::string LaunchCore::DecodeLegacyLines(IFileSystem& files, const std::string& text) {
  // From one line that is not UTF-8 to the next, so a long history with a few such lines costs
  // little more than the one look at its encoding.
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  std::size_t start = MarkLength(text);  // where the text not yet taken over begins: a line's
  out.append(text, 0, start);
  for (;;) {
    const std::size_t bad = start + Utf8Length(std::string_view(text).substr(start));
    const std::size_t end = text.find("\r\n", bad);
    if (end == std::string::npos) break;  // an unfinished last line is not loaded anyway
    const std::size_t before = text.rfind("\r\n", bad);
    const std::size_t line = before == std::string::npos || before < start ? start : before + 2;
    out.append(text, start, line - start);
    out += files.DecodeLegacy(std::string_view(text).substr(line, end - line));
    start = end;
  }
  out.append(text, start, std::string::npos);
  return out;
}

std::string LaunchCore::ReadFormerTemporary(const fs::path& temporary) {
  const fs::path former = files_.ProgramFolder() / DataFileName(DataFile::Temporary);
  std::string text;
  std::error_code error;
  if (former == temporary || files_.ReadWhole(former, text, error) != ReadResult::Ok) text.clear();
  return text;
}

void LaunchCore::UpdateHistory(const std::string& command) {
  Rewrite(command, true);
}

ForgetResult LaunchCore::ForgetCommand(const std::string& command) {
  const std::optional<std::size_t> dropped = Rewrite(command, false);
  if (!dropped) return ForgetResult::Failed;
  if (*dropped) return ForgetResult::Forgotten;
  // In the list only (a command the shell refused), or gone already: the entry stays, so the
  // list never claims that something left the history.
  notifier_.ShowMessage(kNothingToForget);
  return ForgetResult::NothingMatched;
}

std::optional<std::size_t> LaunchCore::Rewrite(const std::string& command, bool append) {
  try {
    const fs::path history = ResolveDataPath(DataFile::History);
    // Made beside the history, the new file takes its folder's permissions; made elsewhere and
    // renamed in place, it would carry that other folder's.
    const fs::path path = history.parent_path() / DataFileName(DataFile::Temporary);
    std::error_code error;
    auto temporary = files_.ClaimTemporary(path, error);
    if (!temporary) throw fs::filesystem_error("create temporary file", path, error);
    ReachedStep(UpdateStep::TemporaryClaimed);

    // Read only now that this launcher has its turn, so a rewrite that just finished counts.
    std::string existing;
    bool recovering = false, fromFormer = false;
    switch (files_.ReadWhole(history, existing, error)) {
      case ReadResult::Ok:
        break;
      case ReadResult::Missing:
        // A rewrite interrupted before its file was put in place left the only copy in its
        // temporary file: this one, or the one an earlier build kept beside the program.
        existing = temporary->Leftover();
        if (existing.empty()) fromFormer = !(existing = ReadFormerTemporary(path)).empty();
        recovering = !existing.empty();
        break;
      case ReadResult::Failed:
        // Rewriting from nothing would throw away a history that is merely unreadable now.
        // A temporary file this attempt created would only be left lying about.
        if (temporary->Leftover().empty()) temporary->Remove();
        throw fs::filesystem_error("read", history, error);
    }

    std::size_t dropped = 0;
    const std::string composed = ComposeHistory(
        existing, command, [this](std::string_view line) { return Decode(line); }, append,
        &dropped);
    if (!append && dropped == 0) {
      // Nothing to forget: the history is left as it is.
      if (temporary->Leftover().empty()) temporary->Remove();
      return dropped;
    }
    if (auto writeError = temporary->Write(composed)) {
      // A torn file must not pass for a leftover later, unless what it held was the only copy
      // of the history: then that goes back in.
      if (recovering && !fromFormer) {
        temporary->Write(temporary->Leftover());
      } else {
        temporary->Remove();
      }
      throw fs::filesystem_error("write", temporary->Path(), writeError);
    }
    ReachedStep(UpdateStep::TemporaryWritten);

    if (auto moveError = temporary->MoveOver(history)) {
      throw fs::filesystem_error("rename", temporary->Path(), history, moveError);
    }
    ReachedStep(UpdateStep::Replaced);
    // Its copy of the history is in place now; beside the program it had that folder's
    // permissions.
    if (fromFormer) {
      if (auto former = files_.ClaimTemporary(files_.ProgramFolder() / path.filename(), error)) {
        former->Remove();
      }
    }
    return dropped;
  } catch (const std::exception& failure) {
    // A file-system step, or a history larger than the process can hold; nothing was replaced.
    notifier_.ReportFailure(failure.what());
    if (!append) notifier_.ShowMessage(kForgetFailed + std::string(failure.what()));
    return std::nullopt;
  }
}

bool LaunchCore::RunCommand(ICommandBox& box, bool elevated,
                            const std::function<void()>& accepted) {
  const std::string command = TrimCommand(box.GetText());
  if (!box.FindStringExact(command)) box.AddString(command.c_str());

  // Split as typed, so a variable whose value holds spaces stays inside the program's path; then
  // expanded as the Run box does (the shell expands nothing unless asked). The history keeps
  // the command as typed.
  const VariableLookup lookup = [this](const std::string& name) { return shell_.Variable(name); };
  CommandParts parts = shell_.SplitArguments(command);
  parts.file = ExpandVariables(parts.file, lookup);
  parts.parameters = ExpandVariables(parts.parameters, lookup);
  const std::string directory = ExpandVariables(shell_.SystemDirectory(), lookup);
  if (Utf16Units(parts.file) > kLongestName) {
    notifier_.ShowMessage(kTooLong);
    return false;
  }
  LaunchRequest request{};
  request.cbSize = sizeof(LaunchRequest);
  request.fMask = kMaskNoAsync;
  request.hwnd = nullptr;
  request.lpVerb = elevated ? kElevateVerb : nullptr;
  request.lpFile = parts.file.c_str();
  request.lpParameters = parts.parameters.c_str();
  request.lpDirectory = directory.c_str();
  request.nShow = kShowNormal;
  request.hInstApp = nullptr;
  if (!shell_.Execute(request)) return false;

  if (accepted) accepted();
  UpdateHistory(command);
  return true;
}

}  // namespace quillgate
