#include "core/history_format.h"

#include <algorithm>

namespace quillgate {

std::optional<std::string_view> LastLine(std::string_view tail, bool whole) {
  for (std::size_t end = tail.size(); end >= 2;) {
    const std::size_t crlf = tail.rfind("\r\n", end - 2);
    if (crlf == std::string_view::npos) break;
    const std::size_t before = crlf == 0 ? std::string_view::npos : tail.rfind("\r\n", crlf - 1);
    // A tail's first byte is no line start, unless it is the file's.
    if (before == std::string_view::npos && !whole) break;
    const std::size_t start = before == std::string_view::npos ? FirstLineStart(tail) : before + 2;
    if (start < crlf) return tail.substr(start, crlf - start);
    end = crlf;
  }
  return std::nullopt;
}

std::string ItemText(std::string_view line, const LegacyDecoder& decode) {
  std::string text = IsUtf8(line) ? std::string(line) : decode(line);
  return text.substr(0, text.find('\0'));
}

std::string DecodeLegacyLines(const std::string& text, const LegacyDecoder& decode) {
  // From one line that is not UTF-8 to the next: a few such lines cost little more than one look.
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  std::size_t start = FirstLineStart(text);  // where the text not yet taken over begins: a line's
  out.append(text, 0, start);
  for (;;) {
    const std::size_t bad = start + Utf8Length(std::string_view(text).substr(start));
    const std::size_t end = text.find("\r\n", bad);
    if (end == std::string::npos) break;  // an unfinished last line is not loaded anyway
    const std::size_t before = text.rfind("\r\n", bad);
    const std::size_t line = before == std::string::npos || before < start ? start : before + 2;
    out.append(text, start, line - start);
    out += decode(std::string_view(text).substr(line, end - line));
    start = end;
  }
  out.append(text, start, std::string::npos);
  return out;
}

std::string ComposeHistory(std::string_view existing, std::string_view command,
                           const LegacyDecoder& decode, bool append, std::size_t* dropped) {
  std::string out;
  out.reserve(existing.size() + command.size() + 2);
  const std::size_t mark = FirstLineStart(existing);
  out.append(existing.substr(0, mark));
  // Only a history with lines in the old code page needs each line's encoding looked at, and only
  // one holding a NUL (where the box ends an item) a look for it.
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
      for (const char c : line.substr(p, end - p))
        if (c != '\r') part.push_back(c);
      each(std::string_view(part));
      p = end + 1;
    }
  };
  const auto carry = [&](std::string_view line, bool finished) {
    if (same(line)) return void(++drops);
    // Only the rare line with a CR or LF inside is rebuilt; in a forget one that would turn into
    // the command so stays as it stands, or what was forgotten would be back.
    bool whole = finished && line.find('\r') == std::string_view::npos &&
                 line.find('\n') == std::string_view::npos;
    if (!whole && !append && finished)
      forEachPart(line, finished, [&](std::string_view each) { whole |= same(each); });
    if (whole) return void((out += line) += "\r\n");
    forEachPart(line, finished, [&](std::string_view each) {
      if (same(each))
        ++drops;
      else
        (out += each) += "\r\n";
    });
  };
  const std::size_t rest = ForEachLine(existing.data(), mark, existing.size(), true,
                                       [&](std::size_t start, std::size_t end) {
                                         carry(existing.substr(start, end - start), true);
                                       });
  if (rest < existing.size()) carry(existing.substr(rest), false);
  if (append) (out += command) += "\r\n";
  // A first line that begins as a mark would lose it to the loader: the file gets a mark first.
  if (!mark && FirstLineStart(out)) out.insert(0, kByteOrderMark);
  if (dropped) *dropped = drops;
  return out;
}

}  // namespace quillgate
