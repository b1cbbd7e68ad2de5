// The command box as the launch core sees it (ICommandBox), over the control (CComboCompletion):
// its edit field (UTF-16 there, UTF-8 here) and for its list the history's loaded lines. The
// control's own list stays empty: an item costs it microseconds and a copy of the text, far too
// much for a million lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/history_index.h"
#include "platform/framework.h"
#include "platform/win32_text.h"

namespace quillgate {

// Whether the history line at `line` begins with (`whole`: equals) `prefix`, letter case ignored,
// in UTF-16 units as a list box compares its items.
bool BeginsWith(const char* line, std::wstring_view prefix, bool whole = false);

class CommandBoxView final : public ICommandBox {
 public:
  explicit CommandBoxView(CComboBox& combo) : m_combo(combo) {}

  std::string GetText() const override { return win32::Narrow(m_combo.GetWindowText()); }
  // Selected whole, as the first focus selects it: on a slow disk the last command comes after.
  void SetText(const std::string& text) override {
    m_combo.SetWindowText(win32::Widen(text));
    m_combo.SetEditSel(0, -1);
  }
  // Appended to the lines; before they are loaded, kept to go in after them (see TakeLines).
  void AddString(const char* item) override;
  // False until the lines are loaded: a launch never waits for them.
  bool FindStringExact(const std::string& text) const override;

  bool Loaded() const { return m_loaded; }
  // The lines, loaded; the items added meanwhile go in after them unless they are there.
  void TakeLines(HistoryLines&& lines);
  const HistoryLines& Lines() const { return m_lines; }
  HistoryLines& Lines() { return m_lines; }
  std::wstring Item(std::size_t index) const;
  // The first line that begins with `prefix`, as CB_SELECTSTRING finds it; -1 for none.
  int FindPrefix(std::wstring_view prefix) const;

 private:
  CComboBox& m_combo;
  HistoryLines m_lines;
  bool m_loaded = false;
  std::vector<std::string> m_late;
};

}  // namespace quillgate
