// The launcher: a prompt, the command box, OK, Cancel and Browse..., modal, shown once per run.
// The rooms beside it do the rest: the loader every wait on the history, the deferred input what
// comes before the lines, the three lists their keys and clicks.
#pragma once

#include <optional>
#include <string>

#include "platform/win32_files.h"
#include "ui/app_source.h"
#include "ui/deferred_input.h"
#include "ui/history_list.h"
#include "ui/launcher_scaling.h"
#include "ui/suggestion_list.h"
#include "ui/win32_notifier.h"
#include "ui/window_look.h"

namespace quillgate {

class CQuillGateDlg : public CDialog {
 public:
  CQuillGateDlg();

  // True when the shell accepted the command: it is recorded once the dialog has ended.
  bool RunCommand(bool elevated);
  // After the dialog: lets the history go, and records the command the shell accepted, if any.
  // Another program may hold the history for a while; what cannot be recorded in the end is told
  // to the user.
  void RecordAccepted();

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  bool OnIdle() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnOK() override;
  void Launch(bool elevated);
  bool OnControlCommand(UINT id, UINT code) override;
  void OnSysCommand(UINT id, LPARAM lParam) override;
  void OnDpiChanged(UINT dpi) override;
  HBRUSH OnCtlColor(HDC dc, HWND, UINT message) override { return ColourControl(dc, message); }

  void OnLinesLoaded(bool readable);
  // Light, dark or high contrast as the system says now; at the start and on every change.
  void FollowSystemLook();

  CComboCompletion m_command;

 private:
  // The services are stateless; the core borrows them for the dialog's lifetime.
  win32::FileSystem m_files;
  win32::Shell m_shell;
  MessageBoxNotifier m_notifier;
  CommandBoxView m_box{m_command};
  LaunchCore m_core{m_files, m_shell, m_notifier};
  LauncherScaling m_scaling;
  HistoryLoader m_loader{m_box};
  DeferredInput m_deferred;
  HistoryList m_history{m_command, m_box, m_loader};
  SuggestionList m_suggestions{m_command};
  AppSource m_apps{m_command, m_box};
  bool m_idled = false;
  std::optional<std::string> m_accepted;
  std::optional<bool> m_heldLaunch;  // Enter came before the apps: elevated or not
};

}  // namespace quillgate
