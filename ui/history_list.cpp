#include "ui/history_list.h"

#include <commctrl.h>

#include "res/resource.h"
#include "ui/test_seams.h"

namespace quillgate {

HistoryList::HistoryList(CComboCompletion& combo, CommandBoxView& box, HistoryLoader& loader)
    : m_combo(combo),
      m_box(box),
      m_loader(loader),
      m_popup(
          seams::kHistoryListClass, ResourceText(IDS_HISTORY_LIST), DT_END_ELLIPSIS,
          [this](std::size_t index) { return m_box.Item(index); },
          [this](std::size_t index) {
            ShowLine(static_cast<int>(index));
            m_popup.Close();
          }) {}

void HistoryList::Create(HWND dialog) {
  m_popup.Create(dialog);
  Recount();
}

bool HistoryList::Find(const std::wstring& typed, std::wstring& item) {
  // An emptied box (Ctrl+X, Ctrl+Z) completes nothing: every line begins with nothing, and
  // filling the box with one would hand it to Enter.
  m_current = typed.empty() ? -1 : m_box.FindPrefix(typed);
  if (m_current >= 0) item = m_box.Item(static_cast<std::size_t>(m_current));
  if (m_popup.IsOpen()) m_popup.Select(m_current);
  return m_current >= 0;
}

void HistoryList::Typed(const std::wstring& text) {
  // A completion that follows finds the line itself; a deletion completes nothing, and the
  // highlight goes where a combo box's own list would put it.
  if (!m_popup.IsOpen() || m_combo.m_bAutoComplete) return;
  m_current = text.empty() ? -1 : m_box.FindPrefix(text);
  m_popup.Select(m_current);
}

bool HistoryList::OnInput(const MSG& msg, bool forBox) {
  const bool open = m_popup.IsOpen();
  const bool inList = msg.hwnd == m_popup.m_hWnd || msg.hwnd == m_popup.ListBox();
  // The combo box's drop button is the combo box itself; its edit field covers the rest.
  if ((msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) &&
      msg.hwnd == m_combo.m_hWnd) {
    Toggle();
    return true;
  }
  if (open && !inList &&
      (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
       msg.message == WM_MBUTTONDOWN)) {
    m_popup.Close();  // a click elsewhere closes the list and goes on
    return false;
  }
  if (!forBox) return false;
  if (open && msg.message == WM_MOUSEWHEEL) {
    ::SendMessageW(m_popup.ListBox(), msg.message, msg.wParam, msg.lParam);
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
        ShowLine(m_current < 0 ? 0 : m_current + (msg.wParam == VK_DOWN ? 1 : -1));
      }
      return true;
    case VK_PRIOR:
    case VK_NEXT:
      if (!open) return false;
      ShowLine(m_current + (msg.wParam == VK_NEXT ? 1 : -1) * (m_popup.PageSize() - 1));
      return true;
    case VK_ESCAPE:
      if (!open) return false;
      m_popup.Close();
      return true;
    case VK_RETURN:
    case VK_TAB:
      m_popup.Close();
      return false;
    case VK_DELETE:
      // With the list closed, or nothing both shown and highlighted, it is the edit field's own.
      return open && GetKeyState(VK_SHIFT) < 0 && Forget();
    default:
      return false;
  }
}

void HistoryList::Open() {
  const std::size_t count = m_box.Lines().Count();
  if (!m_box.Loaded() || count == 0) return;
  // As a combo box opens: on the first line that begins with the field's text.
  const std::wstring text = m_combo.GetWindowText();
  m_current = text.empty() ? -1 : m_box.FindPrefix(text);
  if (m_current >= 0) m_combo.ShowItem(m_box.Item(static_cast<std::size_t>(m_current)));
  const auto rows = static_cast<int>(m_combo.SendMessage(CB_GETMINVISIBLE));
  m_popup.Open(m_combo, count, m_current, rows > 0 ? rows : 30);
}

void HistoryList::ShowLine(int index) {
  const auto count = static_cast<int>(m_box.Lines().Count());
  if (count == 0) return;
  m_current = index < 0 ? 0 : index >= count ? count - 1 : index;
  m_popup.Select(m_current);
  m_combo.ShowItem(m_box.Item(static_cast<std::size_t>(m_current)));
}

bool HistoryList::Forget() {
  const int index = m_popup.Selected();
  if (index < 0 || m_box.Item(static_cast<std::size_t>(index)) != m_combo.GetWindowText()) {
    return false;
  }
  // One forget at a time; the entry leaves the list once its rewrite succeeded.
  m_loader.Forget(static_cast<std::size_t>(index));
  return true;
}

void HistoryList::Erase(std::size_t index) {
  const auto at = static_cast<int>(index);
  const bool shown = m_current == at && m_combo.GetWindowText() == m_box.Item(index);
  m_box.Lines().Erase(index);
  Recount();
  if (m_current > at) --m_current;
  if (m_box.Lines().Count() == 0) {
    m_current = -1;
    m_popup.Close();
    if (shown) m_combo.ShowItem(L"");
  } else if (shown && m_popup.IsOpen()) {
    ShowLine(m_current);  // the list stays on its neighbour
  } else {
    m_popup.Select(m_current);
  }
}

}  // namespace quillgate
