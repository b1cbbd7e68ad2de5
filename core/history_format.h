// What a line of the history file is, for every reader and writer of it. A line ends at a CR LF;
// a UTF-8 mark at the file's start, as an editor may save it, is part of no line; what follows
// the last CR LF is an unfinished line, which loaders leave out and a rewrite carries over.
// Loaders leave out empty lines too. A line that is not UTF-8 was written in the old code page.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/text.h"

namespace quillgate {

constexpr std::string_view kMark = "\xEF\xBB\xBF";
// Where the file's first line begins: after the mark it may have been saved with.
inline std::size_t FirstLineStart(std::string_view text) {
  return text.substr(0, kMark.size()) == kMark ? kMark.size() : 0;
}

// Whether a history line ends at `p`: at its first zero byte (where a list item ends) or at the
// CR LF that ended it in the file, whichever comes first.
inline bool AtLineEnd(const char* p) {
  return p[0] == '\0' || (p[0] == '\r' && p[1] == '\n');
}

// Calls `line(start, end)` for each finished line of text[from, size), where a line begins at
// `from`; its CR LF is at `end`. Empty lines are left out unless `empty`. Returns where the
// unfinished line begins: `size` when there is none.
template <typename Line>
std::size_t ForEachLine(const char* text, std::size_t from, std::size_t size, bool empty,
                        Line line) {
  std::size_t start = from;
  ForEachCrLf(text + from, size - from, [&](std::size_t at) {
    if (empty || from + at > start) line(start, from + at);
    start = from + at + 2;
  });
  return start;
}

// The last non-empty finished line of `tail`, the end of a file (all of it when `whole`);
// nothing when the tail holds no such line whose start it holds too. A line end that the tail
// cuts in two is never taken for one.
std::optional<std::string_view> LastLine(std::string_view tail, bool whole);

// The text of a history line that is not UTF-8.
using LegacyDecoder = std::function<std::string(std::string_view line)>;
// A line as the list shows it: decoded when it is not UTF-8, up to its first zero byte.
std::string ItemText(std::string_view line, const LegacyDecoder& decode);
// The history's text with every finished line that is not UTF-8 replaced by its decoded text.
std::string DecodeLegacyLines(const std::string& text, const LegacyDecoder& decode);

// The history after `command` was launched (`append`) or forgotten. Lines that load as
// `command` (up to a NUL, a line that is not UTF-8 by its decoded text) are dropped. The others
// are carried over in order, split at every LF with their CRs removed, and parts that then read
// as `command` are dropped too; in a forget a line that would turn into `command` so is carried
// over as it stands. `command` is appended last when asked; CR LF line ends. `dropped`, when
// given, counts the lines and parts dropped.
std::string ComposeHistory(std::string_view existing, std::string_view command,
                           const LegacyDecoder& decode, bool append = true,
                           std::size_t* dropped = nullptr);

}  // namespace quillgate
