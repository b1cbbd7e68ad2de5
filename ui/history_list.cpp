#include "ui/history_list.h"

#include <commctrl.h>

#include "res/resource.h"
#include "ui/test_seams.h"

namespace quillgate {

HistoryList::HistoryList(CComboCompletion& combo, CommandBoxView& box, HistoryLoader& loader)
    : combo_(combo),
      box_(box),
      loader_(loader),
      popup_(
          seams::kHistoryListClass, ResourceText(IDS_HISTORY_LIST), DT_END_ELLIPSIS,
          [this](std::size_t index) { return box_.Item(index); },
          [this](std::size_t index) {
            ShowLine(static_cast<int>(index));
            popup_.Close();
          }) {}

void HistoryList::Create(HWND dialog) {
  popup_.Create(dialog);
  Recount();
}

bool HistoryList::Find(const std::wstring& typed, std::wstring& item) {
  current_ = box_.FindPrefix(typed);
  if (current_ >= 0) item = box_.Item(static_cast<std::size_t>(current_));
  if (popup_.IsOpen()) popup_.Select(current_);
  return current_ >= 0;
}

void HistoryList::Typed(const std::wstring& text) {
  // A completion that follows finds the line itself; a deletion completes nothing, and the
  // highlight goes where a combo box's own list would put it.
  if (!popup_.IsOpen() || combo_.m_bAutoComplete) return;
  current_ = text.empty() ? -1 : box_.FindPrefix(text);
  popup_.Select(current_);
}

bool HistoryList::OnInput(const MSG& msg, bool forBox) {
  const bool open = popup_.IsOpen();
  const bool inList = msg.hwnd == popup_.m_hWnd || msg.hwnd == popup_.ListBox();
  // The combo box's drop button is the combo box itself; its edit field covers the rest.
  if ((msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) &&
      msg.hwnd == combo_.m_hWnd) {
    Toggle();
    return true;
  }
  if (open && !inList &&
      (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
       msg.message == WM_MBUTTONDOWN)) {
    popup_.Close();  // a click elsewhere closes the list and goes on
    return false;
  }
  if (!forBox) return false;
  if (open && msg.message == WM_MOUSEWHEEL) {
    ::SendMessageW(popup_.ListBox(), msg.message, msg.wParam, msg.lParam);
    return true;
  }
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  // A key with Alt held comes as WM_SYSKEYDOWN (for F10 as well, which does nothing here).
  const bool alt = msg.message == WM_SYSKEYDOWN || GetKeyState(VK_MENU) < 0;
  switch (msg.wParam) {
    case VK_F4:
      if (alt) return false;  // Alt+F4 closes the launcher
      Toggle();
      return true;
    case VK_DOWN:
    case VK_UP:
      if (alt) {
        Toggle();
      } else {
        // Open or closed, the next or the previous line; from nothing shown, the first.
        ShowLine(current_ < 0 ? 0 : current_ + (msg.wParam == VK_DOWN ? 1 : -1));
      }
      return true;
    case VK_PRIOR:
    case VK_NEXT:
      if (!open) return false;
      ShowLine(current_ + (msg.wParam == VK_NEXT ? 1 : -1) * (popup_.PageSize() - 1));
      return true;
    case VK_ESCAPE:
      if (!open) return false;
      popup_.Close();
      return true;
    case VK_RETURN:
    case VK_TAB:
      popup_.Close();
      return false;
    case VK_DELETE:
      // With the list closed, or nothing both shown and highlighted, it is the edit field's own.
      return open && GetKeyState(VK_SHIFT) < 0 && Forget();
    default:
      return false;
  }
}

void HistoryList::Open() {
  const std::size_t count = box_.Lines().Count();
  if (!box_.Loaded() || count == 0) return;
  // As a combo box opens: on the first line that begins with the field's text.
  const std::wstring text = combo_.GetWindowText();
  current_ = text.empty() ? -1 : box_.FindPrefix(text);
  if (current_ >= 0) combo_.ShowItem(box_.Item(static_cast<std::size_t>(current_)));
  const auto rows = static_cast<int>(combo_.SendMessage(CB_GETMINVISIBLE));
  popup_.Open(combo_, count, current_, rows > 0 ? rows : 30);
}

void HistoryList::ShowLine(int index) {
  const auto count = static_cast<int>(box_.Lines().Count());
  if (count == 0) return;
  current_ = index < 0 ? 0 : index >= count ? count - 1 : index;
  popup_.Select(current_);
  combo_.ShowItem(box_.Item(static_cast<std::size_t>(current_)));
}

bool HistoryList::Forget() {
  const int index = popup_.Selected();
  if (index < 0 || box_.Item(static_cast<std::size_t>(index)) != combo_.GetWindowText()) {
    return false;
  }
  // One forget at a time; the entry leaves the list once its rewrite succeeded.
  loader_.Forget(static_cast<std::size_t>(index));
  return true;
}

void HistoryList::Erase(std::size_t index) {
  const auto at = static_cast<int>(index);
  const bool shown = current_ == at && combo_.GetWindowText() == box_.Item(index);
  box_.Lines().Erase(index);
  Recount();
  if (current_ > at) --current_;
  if (box_.Lines().Count() == 0) {
    current_ = -1;
    popup_.Close();
    if (shown) combo_.ShowItem(L"");
  } else if (shown && popup_.IsOpen()) {
    ShowLine(current_);  // the list stays on its neighbour
  } else {
    popup_.Select(current_);
  }
}

}  // namespace quillgate
