// The launcher: a prompt, the command box, OK, Cancel and Browse..., modal, shown once per run.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/launch_core.h"
#include "platform/framework.h"
#include "platform/win32_files.h"
#include "platform/win32_shell.h"
#include "ui/combo_completion.h"
#include "ui/history_list.h"
#include "ui/launcher_scaling.h"
#include "ui/suggestion_list.h"
#include "ui/win32_command_box.h"
#include "ui/win32_notifier.h"

namespace quillgate {

class CQuillGateDlg : public CDialog {
 public:
  CQuillGateDlg();

  std::filesystem::path ResolveDataPath(DataFile kind) { return m_core.ResolveDataPath(kind); }
  // The edit field gets the most recent command at once; the rest of the history is loaded on
  // another thread once the dialog has shown (see OnIdle).
  void LoadHistory();
  // True when the shell accepted the command. The window goes at once then, and the command
  // is recorded in the history before this returns.
  bool RunCommand(bool elevated) {
    const auto command = m_core.Launch(m_box, elevated, reinterpret_cast<std::uintptr_t>(m_hWnd));
    if (!command) return false;
    ShowWindow(m_hWnd, SW_HIDE);
    LetGoOfHistory();
    m_core.ReportUnrecorded(*command, m_core.Record(*command));
    return true;
  }

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  // Holds back input that needs the whole history until it is loaded; drives the drop-down.
  BOOL PreTranslateMessage(MSG* msg) override;
  bool OnIdle() override;
  bool OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnOK() override;
  bool OnControlCommand(UINT id, UINT code) override;
  void OnSysCommand(UINT id, LPARAM lParam) override;
  void OnDpiChanged(UINT dpi) override;

  void OnCommandSelChange();
  void OnBrowse();
  // Forgets the entry highlighted in the open list; false when none is highlighted.
  bool OnForget();
  // The drop-down's keys and clicks; true when `msg` was one of them and is done with.
  bool OnListInput(const MSG& msg, bool forBox);
  void OpenList();
  // Highlights line `index` (kept within the list) and puts it in the edit field.
  void ShowLine(int index);
  // Before the history is rewritten at a launch: nothing of this process may hold it then.
  void LetGoOfHistory();
  void OnLinesLoaded();

  CComboCompletion m_command;

 private:
  // The services are stateless; the core borrows them for the dialog's lifetime.
  win32::FileSystem m_files;
  win32::Shell m_shell;
  MessageBoxNotifier m_notifier;
  ComboCommandBox m_box{m_command};
  LaunchCore m_core{m_files, m_shell, m_notifier};
  LauncherScaling m_scaling;
  // The lines as the worker thread loads them; shared with it, so it may outlive the dialog.
  struct Loading;
  std::shared_ptr<Loading> m_loading;
  bool m_loadStarted = false;
  bool m_idled = false;
  // Input that came while the lines were loading and needed them, in order, and all input after,
  // each with the keyboard's state when it came.
  struct Waiting {
    MSG msg;
    BYTE keys[256];
  };
  std::vector<Waiting> m_waiting;
  PopupList m_list;
  int m_current = -1;  // the line last shown from the list, the list closed or open
  SuggestionList m_suggestions{m_command};
};

}  // namespace quillgate
