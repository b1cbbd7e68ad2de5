// Installed apps below the command box: while the text is not a path, the apps whose name or a
// word of it begins with what was typed, in the drop-down the folder entries use, with the same
// keys and clicks. Down, Up or a click puts the app's name in the box; Enter then opens the app
// (LaunchCore takes an exact name as its app). The apps come from the cache, read on a thread of
// its own once the dialog has shown, and from the Start menu afresh when it changed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/apps.h"
#include "platform/framework.h"
#include "ui/dropdown_popup.h"
#include "ui/win32_command_box.h"

namespace quillgate {

// The window class of the apps' drop-down, for whoever looks from outside (FindWindow).
constexpr wchar_t kAppListClass[] = L"QuillGate.Apps";

class AppSource {
 public:
  AppSource(CComboBox& box, const CommandBoxView& history);
  ~AppSource();
  AppSource(const AppSource&) = delete;
  AppSource& operator=(const AppSource&) = delete;

  // The reader's lists post `message` to `dialog`, which hands it to PreTranslateMessage.
  void Attach(HWND dialog, UINT message);
  // Once the dialog has shown: the apps are read from now on, off the dialog's thread.
  void Begin();
  // The box's text as the user just typed it, before any completion.
  void Typed(const std::wstring& text);
  // Up, Down and Esc while the list shows, clicks elsewhere, and a list read: true when consumed.
  bool PreTranslateMessage(const MSG& msg, bool forBox);
  void Hide() { m_popup.Close(); }
  // The apps as known now: empty until the first list came.
  const AppList& Apps() const { return m_apps; }

 private:
  struct Shared;
  void Collect();
  void Show();
  void Move(int step);
  void Put(int index);

  CComboBox& m_box;
  const CommandBoxView& m_history;
  std::shared_ptr<Shared> m_shared;
  AppList m_apps;
  bool m_ranked = false;  // the history's launches are noted in m_apps
  std::vector<std::size_t> m_matches;
  std::wstring m_typed;
  DropDownPopup m_popup;
};

}  // namespace quillgate
