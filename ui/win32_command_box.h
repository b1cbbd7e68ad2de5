// The dialog's combo box as the launch core sees it: its edit field, its UTF-16 text converted to
// and from the core's UTF-8, and for its list the history's loaded lines. The control's own list
// stays empty: filling a combo box costs microseconds and a copy of the text per item, far too
// much for a history of a million lines, so the dialog shows the lines in a list of its own.
//
// The lines are loaded after the window shows (TakeLines); until then a search finds nothing,
// and what is added waits to go in after them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/history_index.h"
#include "platform/framework.h"

namespace quillgate {

// Whether the UTF-8 history line at `line` (ended as AtLineEnd says) begins with `prefix` (or, when
// `whole`, equals it), letter case ignored, compared in UTF-16 units as a list box compares its
// items.
bool BeginsWith(const char* line, std::wstring_view prefix, bool whole = false);

class ComboCommandBox final : public ICommandBox {
 public:
  explicit ComboCommandBox(CComboBox& combo) : combo_(combo) {}

  std::string GetText() const override;
  void SetText(const std::string& text) override;
  // Appended to the lines; before they are loaded, kept to go in after them (see TakeLines).
  void AddString(const char* item) override;
  // Before the lines are loaded the answer is false without a search: a launch never waits for
  // them, and an item added then goes in only if they hold no equal one.
  bool FindStringExact(const std::string& text) const override;

  bool Loaded() const { return loaded_; }
  // The lines, loaded; the items added meanwhile go in after them unless they are there.
  void TakeLines(HistoryLines&& lines);
  const HistoryLines& Lines() const { return lines_; }
  HistoryLines& Lines() { return lines_; }
  std::wstring Item(std::size_t index) const;
  // The first line that begins with `prefix`, as CB_SELECTSTRING finds it; -1 for none.
  int FindPrefix(std::wstring_view prefix) const;

 private:
  CComboBox& combo_;
  HistoryLines lines_;
  bool loaded_ = false;
  std::vector<std::string> late_;
};

}  // namespace quillgate
