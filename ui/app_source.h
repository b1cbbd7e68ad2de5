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

class AppSource {
 public:
  AppSource(CComboBox& box, const CommandBoxView& history);
  ~AppSource();
  AppSource(const AppSource&) = delete;
  AppSource& operator=(const AppSource&) = delete;

  // The reader's lists post `message` to `dialog`, which then calls Collect.
  void Attach(HWND dialog, UINT message);
  // The newest list the reader posted, in place of the one before.
  void Collect();
  // Once the dialog has shown, or a launch needs them: the apps are read from now on, off the
  // dialog's thread. Once only.
  void Begin();
  // The box's text as the user just typed it, before any completion.
  void Typed(const std::wstring& text);
  // Up, Down and Esc while the list shows, and clicks elsewhere: true when consumed.
  bool PreTranslateMessage(const MSG& msg, bool forBox) {
    return m_popup.OfferedInput(msg, forBox);
  }
  void Hide() { m_popup.Close(); }
  // The history's lines came: a list shown before them is ranked by them now.
  void HistoryLoaded() {
    if (m_ranked || !m_popup.IsOpen()) return;
    Hide();
    Show();
  }
  // The apps as known now: empty until the first list came; then the cache's, even a stale one,
  // whose names may launch while the Start menu is read, until the fresh list.
  const AppList& Apps() const { return m_apps; }
  // Some list came (or none can come): an exact name in the box can be told from a command.
  bool Known() const { return m_known; }

 private:
  struct Delivery;
  void Show();

  const CommandBoxView& m_history;
  std::shared_ptr<Delivery> m_delivery;
  AppList m_apps;
  bool m_ranked = false;  // the history's launches are noted in m_apps
  bool m_begun = false;
  bool m_known = false;
  bool m_fresh = false;  // m_apps is the Start menu's list as it is now
  std::vector<std::size_t> m_matches;
  OfferedList m_popup;
};

}  // namespace quillgate
