#include "ui/win32_command_box.h"

#include <utility>

#include "platform/win32_text.h"

namespace quillgate {

std::string ComboCommandBox::GetText() const {
  return win32::Narrow(combo_.GetWindowText());
}

void ComboCommandBox::SetText(const std::string& text) {
  combo_.SetWindowText(win32::Widen(text));
}

void ComboCommandBox::AddString(const char* item) {
  if (collecting_) {
    waiting_.push_back(item);
  } else if (Filling()) {
    late_.emplace_back(item);
  } else {
    combo_.AddString(win32::Widen(item).c_str());
  }
}

bool ComboCommandBox::FindStringExact(const std::string& text) const {
  if (Filling()) return false;
  // From -1: the whole list, ignoring letter case.
  return combo_.FindStringExact(-1, win32::Widen(text).c_str()) != CB_ERR;
}

void ComboCommandBox::KeepLoadedText(std::string& text) {
  if (!collecting_) return;
  // The same items, in the text's new home.
  const char* const from = text.data();
  text_ = std::move(text);
  for (std::size_t i = next_; i < waiting_.size(); ++i) {
    waiting_[i] = text_.data() + (waiting_[i] - from);
  }
  bytes_ = text_.size();
}

void ComboCommandBox::BeginCollecting() {
  collecting_ = true;
}

void ComboCommandBox::EndCollecting() {
  collecting_ = false;
}

void ComboCommandBox::Prepare() {
  // Not before the dialog shows: reserving room for a long list costs time the user would see.
  // The control keeps its strings as UTF-16; the text's size is near enough.
  combo_.SendMessage(CB_INITSTORAGE, waiting_.size() - next_,
                     static_cast<LPARAM>(bytes_ * sizeof(wchar_t)));
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  list_ = GetComboBoxInfo(combo_.m_hWnd, &info) ? info.hwndList : nullptr;
  if (list_) ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  prepared_ = true;
}

bool ComboCommandBox::Fill(unsigned milliseconds) {
  if (!Filling()) return false;
  if (!prepared_) Prepare();
  LARGE_INTEGER frequency, now, deadline;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&deadline);
  deadline.QuadPart += frequency.QuadPart * milliseconds / 1000;
  int sinceCheck = 0;
  while (next_ < waiting_.size()) {
    win32::Widen(waiting_[next_++], wide_);
    // The combo box hands each CB_ADDSTRING on to its list as LB_ADDSTRING; sending that to the
    // list itself saves a message per item, a third of the fill under Wine.
    if (list_) {
      ::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide_.c_str()));
    } else {
      combo_.AddString(wide_.c_str());
    }
    // The clock is read every few items: one item costs about a microsecond.
    if (milliseconds && ++sinceCheck == 32) {
      sinceCheck = 0;
      QueryPerformanceCounter(&now);
      if (now.QuadPart >= deadline.QuadPart && next_ < waiting_.size()) return true;
    }
  }
  Complete();
  return false;
}

void ComboCommandBox::Complete() {
  if (list_) {
    ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    list_ = nullptr;
  }
  std::vector<std::string> late;
  late.swap(late_);
  for (const std::string& item : late) {
    const std::wstring wide = win32::Widen(item);
    if (combo_.FindStringExact(-1, wide.c_str()) == CB_ERR) combo_.AddString(wide.c_str());
  }
  // The control has its own copies now.
  std::vector<const char*>().swap(waiting_);
  std::string().swap(text_);
  std::wstring().swap(wide_);
  next_ = 0;
  bytes_ = 0;
  prepared_ = false;
}

}  // namespace quillgate
