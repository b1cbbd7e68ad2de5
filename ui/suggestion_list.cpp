#include "ui/suggestion_list.h"

#include <algorithm>
#include <climits>

#include "platform/win32_text.h"
#include "res/resource.h"
#include "ui/test_seams.h"

namespace quillgate {

namespace {

constexpr int kVisibleItems = 10;

}  // namespace

SuggestionList::SuggestionList(CComboBox& box)
    : m_box(box),
      m_suggestions(m_reader, [this](const std::string& name) { return m_shell.Variable(name); }),
      m_popup(
          seams::kSuggestionListClass, ResourceText(IDS_FOLDER_LIST), DT_PATH_ELLIPSIS,
          [this](std::size_t index) { return win32::Widen(m_suggestions.Text(index)); },
          [this](std::size_t index) {
            m_popup.PutInBox(static_cast<int>(index), m_box, m_typed);
            Hide();
          }) {}

SuggestionList::~SuggestionList() {
  // Whatever a read still waits for, the launcher does not wait for it.
  if (m_read) m_read->Abandon();
}

void SuggestionList::Typed(const std::wstring& text) {
  m_typed = text;
  Collect();  // a read that ended while a message box's loop had its message
  const auto folder = m_suggestions.Typed(win32::Narrow(text));
  if (m_read && m_suggestions.Reading() != m_read->Folder()) {
    m_read->Abandon();
    m_read.reset();
  }
  if (folder) {
    m_read = win32::BackgroundRead::Start(*folder, m_dialog, m_message);
    if (!m_read) m_suggestions.Arrived(*folder, false, {});
  }
  Show();
}

void SuggestionList::Collect() {
  if (!m_read || !m_read->Done()) return;
  const auto read = std::move(m_read);
  if (m_suggestions.Arrived(read->Folder(), read->Ok(), read->TakeEntries())) Show();
}

bool SuggestionList::PreTranslateMessage(const MSG& msg, bool forBox) {
  if (msg.hwnd == m_dialog && msg.message == m_message) {
    Collect();
    return true;
  }
  return m_popup.OfferedInput(msg, forBox, m_box, m_typed);
}

int SuggestionList::Count() const {
  // In an int, as the list counts, with room for the one place past its end: the text as typed.
  return static_cast<int>(std::min<std::size_t>(m_suggestions.Count(), INT_MAX - 1));
}

void SuggestionList::Show() {
  const int count = Count();
  m_popup.SetCount(static_cast<std::size_t>(count));  // shown or not, what a reader finds
  // One list at a time: the history's, opened by the user, stays.
  if (count == 0 || !m_dialog || DropDownPopup::AnotherOpen(&m_popup)) {
    Hide();
    return;
  }
  m_popup.Open(m_box, static_cast<std::size_t>(count), -1, kVisibleItems);
}

}  // namespace quillgate
