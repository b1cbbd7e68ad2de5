// The command box: a drop-down combo box that completes typed text from its own list.
#pragma once

#include "platform/framework.h"

namespace quillgate {

class CComboCompletion : public CComboBox {
 public:
  BOOL PreTranslateMessage(MSG* msg) override;
  bool OnChildNotify(UINT code) override;
  void OnEditUpdate();

  BOOL m_bAutoComplete = TRUE;
};

}  // namespace quillgate
