#include "ui/win32_command_box.h"

#include <cstdint>
#include <utility>

namespace quillgate {

bool BeginsWith(const char* line, std::wstring_view prefix, bool whole) {
  // ASCII against ASCII byte by byte: most lines are decided at their first letter.
  std::size_t i = 0;
  for (; i < prefix.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    const wchar_t p = prefix[i];
    if (AtLineEnd(line + i)) return false;
    if (c >= 0x80 || p >= 0x80) break;
    const auto lower = [](unsigned u) { return u >= 'A' && u <= 'Z' ? u + 32 : u; };
    if (lower(c) != lower(static_cast<unsigned>(p))) return false;
  }
  if (i == prefix.size()) return !whole || AtLineEnd(line + i);
  // The rest as the system folds letter case: enough of the line for the prefix's units, each
  // at most three bytes (a pair of units four).
  const std::size_t most = whole ? SIZE_MAX : 3 * prefix.size() + 3;
  std::size_t bytes = i;
  while (bytes < most && !AtLineEnd(line + bytes)) ++bytes;
  std::wstring wide;
  win32::Widen(std::string_view(line, bytes), wide);
  if (wide.size() < prefix.size() || (whole && wide.size() != prefix.size())) return false;
  return CompareStringOrdinal(wide.data(), static_cast<int>(prefix.size()), prefix.data(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

void CommandBoxView::AddString(const char* item) {
  if (m_loaded) {
    m_lines.Append(item);
  } else {
    m_late.emplace_back(item);
  }
}

bool CommandBoxView::FindStringExact(const std::string& text) const {
  if (!m_loaded) return false;
  const std::wstring wide = win32::Widen(text);
  for (std::size_t i = 0; i < m_lines.Count(); ++i) {
    if (BeginsWith(m_lines.LineStart(i), wide, true)) return true;
  }
  return false;
}

void CommandBoxView::TakeLines(HistoryLines&& lines) {
  m_lines = std::move(lines);
  m_loaded = true;
  for (const std::string& item : std::exchange(m_late, {})) {
    if (!FindStringExact(item)) m_lines.Append(item);
  }
}

std::wstring CommandBoxView::Item(std::size_t index) const {
  return index < m_lines.Count() ? win32::Widen(m_lines.Line(index)) : std::wstring();
}

int CommandBoxView::FindPrefix(std::wstring_view prefix) const {
  for (std::size_t i = 0; i < m_lines.Count(); ++i) {
    if (BeginsWith(m_lines.LineStart(i), prefix)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace quillgate
