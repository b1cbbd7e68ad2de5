// The launcher: a prompt, the command box, OK, Cancel and Browse..., modal, shown once per run.
#pragma once

#include <filesystem>
#include <string>

#include "core/launch_core.h"
#include "platform/framework.h"
#include "platform/win32_files.h"
#include "platform/win32_shell.h"
#include "ui/combo_completion.h"
#include "ui/launcher_scaling.h"
#include "ui/suggestion_list.h"
#include "ui/win32_command_box.h"
#include "ui/win32_notifier.h"

namespace quillgate {

class CQuillGateDlg : public CDialog {
 public:
  CQuillGateDlg();

  std::filesystem::path ResolveDataPath(DataFile kind) { return m_core.ResolveDataPath(kind); }
  // The list is filled while the dialog is idle, after the first paint; the edit field has
  // the most recent command at once.
  void LoadHistory();
  // True when the shell accepted the command. The window goes at once then, and the command
  // is recorded in the history before this returns.
  bool RunCommand(bool elevated) {
    return m_core.RunCommand(m_box, elevated, [this] { ShowWindow(m_hWnd, SW_HIDE); });
  }

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  // Completes the list before any input that could act on it is dispatched.
  BOOL PreTranslateMessage(MSG* msg) override;
  bool OnIdle() override;
  void OnOK() override;
  bool OnControlCommand(UINT id, UINT code) override;
  void OnSysCommand(UINT id, LPARAM lParam) override;
  void OnDpiChanged(UINT dpi) override {
    m_suggestions.Hide();  // laid out for the old scale; the next key shows it anew
    m_scaling.Apply(m_hWnd, dpi);
  }

  void OnCommandSelChange();
  void OnBrowse();
  // Forgets the entry highlighted in the open list; false when none is highlighted.
  bool OnForget();

  CComboCompletion m_command;

 private:
  // The services are stateless; the core borrows them for the dialog's lifetime.
  win32::FileSystem m_files;
  win32::Shell m_shell;
  MessageBoxNotifier m_notifier;
  ComboCommandBox m_box{m_command};
  LaunchCore m_core{m_files, m_shell, m_notifier};
  LauncherScaling m_scaling;
  SuggestionList m_suggestions{m_command};
};

}  // namespace quillgate
