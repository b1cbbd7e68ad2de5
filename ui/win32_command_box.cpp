#include "ui/win32_command_box.h"

namespace quillgate {

std::string ComboCommandBox::GetText() const {
  return combo_.GetWindowText();
}

void ComboCommandBox::SetText(const std::string& text) {
  combo_.SetWindowText(text);
}

void ComboCommandBox::AddString(const char* item) {
  combo_.AddString(item);
}

bool ComboCommandBox::FindStringExact(const std::string& text) const {
  // From -1: the whole list, ignoring letter case.
  return combo_.FindStringExact(-1, text.c_str()) != CB_ERR;
}

}  // namespace quillgate
