// The history's drop-down, as a combo box's own list behaves: F4 and Alt+Down or Alt+Up open and
// close it, Down and Up move through the history (open or closed), Page Up and Page Down by a page
// while it is open, a click picks a line; while it is open the highlight follows what the box
// shows, and Shift+Delete forgets the line both shown and highlighted.
#pragma once

#include <cstddef>
#include <string>

#include "ui/combo_completion.h"
#include "ui/dropdown_popup.h"
#include "ui/history_loader.h"
#include "ui/win32_command_box.h"

namespace quillgate {

class HistoryList {
 public:
  HistoryList(CComboCompletion& combo, CommandBoxView& box, HistoryLoader& loader);

  // Once the lines are loaded: the (hidden) list of all of them.
  void Create(HWND dialog);
  // The list's keys and clicks; true when `msg` was one of them and is done with.
  bool OnInput(const MSG& msg, bool forBox);
  // Completion's search: the first line that begins with `typed`, which the list then highlights.
  bool Find(const std::wstring& typed, std::wstring& item);
  // The box's text as just typed, before any completion.
  void Typed(const std::wstring& text);
  // The line at `index` left the history.
  void Erase(std::size_t index);
  // The lines changed in number (a refused command was added).
  void Recount() { m_popup.SetCount(m_box.Lines().Count()); }
  void Open();
  void Toggle() { IsOpen() ? m_popup.Close() : Open(); }
  void Close() { m_popup.Close(); }
  bool IsOpen() const { return m_popup.IsOpen(); }

 private:
  // Highlights line `index` (kept within the list) and puts it in the box.
  void ShowLine(int index);
  bool Forget();

  CComboCompletion& m_combo;
  CommandBoxView& m_box;
  HistoryLoader& m_loader;
  DropDownPopup m_popup;
  int m_current = -1;  // the line last shown or found, the list closed or open
};

}  // namespace quillgate
