#include "ui/combo_completion.h"

namespace quillgate {

BOOL CComboCompletion::PreTranslateMessage(MSG* msg) {
  // Any message carrying 'A' while Ctrl is held, the key-up included; selecting twice is
  // harmless and the edit field still gets the key. Ctrl with Alt is how Windows reports AltGr,
  // which makes letters (AltGr+A is a Polish a with ogonek): that is typing, not Ctrl+A.
  if (msg->wParam == 0x41 && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
    SendMessage(CB_SETEDITSEL, 0, static_cast<LPARAM>(0xFFFF0000u));
  }
  if (msg->message == WM_KEYDOWN)
    m_bAutoComplete = msg->wParam != VK_DELETE && msg->wParam != VK_BACK;
  return CComboBox::PreTranslateMessage(msg);
}

bool CComboCompletion::OnChildNotify(UINT code) {
  if (code != CBN_EDITUPDATE) return false;
  if (m_onTyped && !m_quiet) m_onTyped(GetWindowText());
  OnEditUpdate();
  return true;
}

void CComboCompletion::ShowItem(const std::wstring& text) {
  m_quiet = true;
  SetWindowText(text);
  m_quiet = false;
  SetEditSel(0, -1);
}

void CComboCompletion::OnEditUpdate() {
  if (!m_bAutoComplete || m_quiet) return;

  // Lengths and positions in UTF-16 units, as the edit field counts them.
  const std::wstring text = GetWindowText();
  const int length = static_cast<int>(text.size());
  const DWORD sel = GetEditSel();
  const int start = LOWORD(sel);
  const int end = HIWORD(sel);
  const bool haveSel = sel != static_cast<DWORD>(CB_ERR);

  std::wstring item;
  m_quiet = true;  // a field set from here is no typing to complete
  if (m_find && m_find(text, item)) SetWindowText(item);
  m_quiet = false;

  if (end < length && haveSel) {
    SetEditSel(start, end);  // typing in the middle: the caret stays where it was
  } else {
    SetEditSel(length, -1);  // the completed remainder, or the caret at the end
  }
}

}  // namespace quillgate
