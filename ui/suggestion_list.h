// The list that drops below the command box while a path is typed: the entries of the folder
// being typed that begin with what follows its last backslash. It follows the typed text (never
// the history's completed rest), shows the moment a read ends unless the history's list is open,
// and closes on Esc before the dialog does. The folder is read on a thread of its own.
#pragma once

#include <memory>
#include <string>

#include "core/path_input.h"
#include "platform/framework.h"
#include "platform/win32_folders.h"
#include "platform/win32_shell.h"
#include "ui/dropdown_popup.h"

namespace quillgate {

class SuggestionList {
 public:
  explicit SuggestionList(CComboBox& box);
  ~SuggestionList();
  SuggestionList(const SuggestionList&) = delete;
  SuggestionList& operator=(const SuggestionList&) = delete;

  // Reads that end post `message` to `dialog`, which hands it to PreTranslateMessage.
  void Attach(HWND dialog, UINT message) {
    m_dialog = dialog;
    m_message = message;
  }
  // The box's text as the user just typed it, before any completion.
  void Typed(const std::wstring& text);
  // Up, Down and Esc while the list shows, clicks elsewhere, and the end of a read: true when
  // consumed. `forBox`: the message is for the command box.
  bool PreTranslateMessage(const MSG& msg, bool forBox);
  void Hide() { m_popup.Close(); }

 private:
  void Collect();
  void Show() { m_popup.Offer(m_suggestions.Count(), m_dialog != nullptr); }

  win32::Shell m_shell;
  win32::FolderReader m_reader;
  FolderSuggestions m_suggestions;
  std::shared_ptr<win32::BackgroundRead> m_read;
  HWND m_dialog = nullptr;
  UINT m_message = 0;
  OfferedList m_popup;
};

}  // namespace quillgate
