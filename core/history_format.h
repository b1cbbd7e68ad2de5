// A history line, for every reader and writer: it ends at a CR LF; a UTF-8 mark at the file's
// start (an editor may save one) is part of none; after the last CR LF is an unfinished line,
// which loaders leave out, as empty ones, and a rewrite carries over. Not UTF-8: old code page.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/text.h"

namespace quillgate {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Where the file's first line begins: after the mark it may have been saved with.
inline std::size_t FirstLineStart(std::string_view text) {
  return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

// A history line ends at its first zero byte (where a list item ends) or its CR LF in the file.
inline bool AtLineEnd(const char* p) {
  return p[0] == '\0' || (p[0] == '\r' && p[1] == '\n');
}

// Calls `line(start, end)`, CR LF at `end`, for each finished line of text[from, size), where a
// line begins at `from`; empty ones only if `empty`. Returns where the unfinished line begins.
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

// The last non-empty finished line of `tail`, the end of a file (all of it when `whole`), if the
// tail holds its start too. A line end that the tail cuts in two is never taken for one.
std::optional<std::string_view> LastLine(std::string_view tail, bool whole);

// The text of a history line that is not UTF-8.
using LegacyDecoder = std::function<std::string(std::string_view line)>;
// A line as the list shows it: decoded when it is not UTF-8, up to its first zero byte.
std::string ItemText(std::string_view line, const LegacyDecoder& decode);
// The history's text with every finished line that is not UTF-8 replaced by its decoded text.
std::string DecodeLegacyLines(const std::string& text, const LegacyDecoder& decode);

// The history after `command` was launched (`append`: last) or forgotten, with CR LF line ends.
// Lines that load as `command` (up to a NUL; not UTF-8: by decoded text) are dropped; the others
// carried over in order, split at every LF, CRs removed, dropping parts that then read as
// `command` (in a forget a line that would so turn into it stays). `dropped` counts the drops.
std::string ComposeHistory(std::string_view existing, std::string_view command,
                           const LegacyDecoder& decode, bool append = true,
                           std::size_t* dropped = nullptr);

}  // namespace quillgate
