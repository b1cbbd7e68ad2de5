#include "ui/suggestion_list.h"

#include <algorithm>

#include "platform/win32_text.h"
#include "res/resource.h"
#include "ui/test_seams.h"

namespace quillgate {

namespace {

constexpr int kVisibleItems = 10;

}  // namespace

SuggestionList::SuggestionList(CComboBox& box)
    : box_(box),
      suggestions_(reader_, [this](const std::string& name) { return shell_.Variable(name); }),
      popup_(
          seams::kSuggestionListClass, ResourceText(IDS_FOLDER_LIST), DT_PATH_ELLIPSIS,
          [this](std::size_t index) { return win32::Widen(suggestions_.Text(index)); },
          [this](std::size_t index) {
            Put(static_cast<int>(index));
            Hide();
          }) {}

SuggestionList::~SuggestionList() {
  // Whatever a read still waits for, the launcher does not wait for it.
  if (read_) read_->Abandon();
}

void SuggestionList::Typed(const std::wstring& text) {
  typed_ = text;
  Collect();  // a read that ended while a message box's loop had its message
  const auto folder = suggestions_.Typed(win32::Narrow(text));
  if (read_ && suggestions_.Reading() != read_->Folder()) {
    read_->Abandon();
    read_.reset();
  }
  if (folder) {
    read_ = win32::BackgroundRead::Start(*folder, dialog_, message_);
    if (!read_) suggestions_.Arrived(*folder, false, {});
  }
  Show();
}

void SuggestionList::Collect() {
  if (!read_ || !read_->Done()) return;
  const auto read = std::move(read_);
  if (suggestions_.Arrived(read->Folder(), read->Ok(), read->TakeEntries())) Show();
}

bool SuggestionList::PreTranslateMessage(const MSG& msg, bool forBox) {
  if (msg.hwnd == dialog_ && msg.message == message_) {
    Collect();
    return true;
  }
  if (!popup_.IsOpen()) return false;
  switch (msg.message) {
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (!forBox) Hide();  // a click on the list itself the popup has taken already
      return false;
    case WM_SYSKEYDOWN:  // Alt+Down opens the history's list instead
      Hide();
      return false;
    case WM_KEYDOWN:
      if (!forBox) return false;
      if (msg.wParam == VK_DOWN || msg.wParam == VK_UP) {
        Move(msg.wParam == VK_DOWN ? 1 : -1);
        return true;
      }
      if (msg.wParam == VK_ESCAPE) {
        Hide();
        return true;
      }
      if (msg.wParam == VK_RETURN || msg.wParam == VK_TAB) Hide();
      return false;
    default:
      return false;
  }
}

void SuggestionList::Show() {
  const auto count = std::min<std::size_t>(suggestions_.Count(), 0x7FFFFFF);
  // One list at a time: the history's, opened by the user, stays.
  if (count == 0 || !dialog_ || DropDownPopup::AnotherOpen(&popup_)) {
    Hide();
    return;
  }
  popup_.Open(box_, count, -1, kVisibleItems);
}

void SuggestionList::Move(int step) {
  // Past either end the box gets back what was typed, as in the system's own lists.
  const int count = static_cast<int>(std::min<std::size_t>(suggestions_.Count(), 0x7FFFFFF));
  const int now = popup_.Selected();
  int next = (now < 0 ? count : now) + step;
  next = (next % (count + 1) + count + 1) % (count + 1);
  Put(next == count ? -1 : next);
}

void SuggestionList::Put(int index) {
  popup_.Select(index);
  const std::wstring text =
      index < 0 ? typed_ : win32::Widen(suggestions_.Text(static_cast<std::size_t>(index)));
  box_.SetWindowText(text);
  const int end = static_cast<int>(text.size());
  box_.SetEditSel(end, end);
}

}  // namespace quillgate
