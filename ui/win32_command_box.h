// The dialog's combo box as the launch core sees it: plain combo-box operations only.
#pragma once

#include "core/ports.h"
#include "platform/framework.h"

namespace quillgate {

class ComboCommandBox final : public ICommandBox {
 public:
  explicit ComboCommandBox(CComboBox& combo) : combo_(combo) {}

  std::string GetText() const override;
  void SetText(const std::string& text) override;
  void AddString(const char* item) override;
  bool FindStringExact(const std::string& text) const override;

 private:
  CComboBox& combo_;
};

}  // namespace quillgate
