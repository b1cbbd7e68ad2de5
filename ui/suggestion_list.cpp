#include "ui/suggestion_list.h"

#include "platform/win32_text.h"
#include "res/resource.h"
#include "ui/test_seams.h"

namespace quillgate {

SuggestionList::SuggestionList(CComboBox& box)
    : m_suggestions(m_reader, [this](const std::string& name) { return m_shell.Variable(name); }),
      m_popup(box, seams::kSuggestionListClass, ResourceText(IDS_FOLDER_LIST), DT_PATH_ELLIPSIS,
              [this](std::size_t index) { return win32::Widen(m_suggestions.Text(index)); }) {}

SuggestionList::~SuggestionList() {
  // Whatever a read still waits for, the launcher does not wait for it.
  if (m_read) m_read->Abandon();
}

void SuggestionList::Typed(const std::wstring& text) {
  m_popup.SetTyped(text);
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
  return m_popup.OfferedInput(msg, forBox);
}

}  // namespace quillgate
