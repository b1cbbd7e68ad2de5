// The command box control: a drop-down combo box that completes typed text from a list the way
// an address bar does, the list being whatever its finder searches (see m_find). The launch core
// sees it through CommandBoxView (win32_command_box.h).
#pragma once

#include <functional>
#include <string>

#include "platform/framework.h"

namespace quillgate {

class CComboCompletion : public CComboBox {
 public:
  // Ctrl+A selects the whole field; Delete and Backspace switch completion off until the next
  // other key, so deleting text never brings the deleted part back.
  BOOL PreTranslateMessage(MSG* msg) override;
  // The box's own CBN_EDITUPDATE, reflected back to it by the dialog.
  bool OnChildNotify(UINT code) override;
  // Completes the text just typed from the first item that begins with it and selects the
  // part the user did not type, so the next keystroke replaces it.
  void OnEditUpdate();
  // Puts `text` in the field, all of it selected, without completing it.
  void ShowItem(const std::wstring& text);

  // Whether the next text change may be completed.
  BOOL m_bAutoComplete = TRUE;
  // Told of every edit the user makes, with the text as typed, before it is completed.
  std::function<void(const std::wstring& typed)> m_onTyped;
  // What completion searches (the control's own list stays empty): true, with the item in
  // `item`, when an item begins with `typed` (letter case ignored).
  std::function<bool(const std::wstring& typed, std::wstring& item)> m_find;

 private:
  bool m_quiet = false;  // the field is being set by this class, not typed into
};

}  // namespace quillgate
