#include "ui/combo_completion.h"

namespace quillgate {

BOOL CComboCompletion::PreTranslateMessage(MSG* msg) { return CComboBox::PreTranslateMessage(msg); }

bool CComboCompletion::OnChildNotify(UINT code) {
  if (code != CBN_EDITUPDATE) return false;
  OnEditUpdate();
  return true;
}

void CComboCompletion::OnEditUpdate() {}

}  // namespace quillgate
