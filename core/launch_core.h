// The launcher's logic as the dialog drives it: the first paint's command, the launch, and the
// history's changes, each told to the user where it happens.
#pragma once

#include "core/history_store.h"
#include "core/messages.h"

namespace quillgate {

class AppList;

class LaunchCore {
 public:
  LaunchCore(IFileSystem& files, IShell& shell, INotifier& notifier)
      : m_files(files), m_shell(shell), m_notifier(notifier) {}

  // Installed apps whose exact names launch them; null: none (yet).
  void UseApps(const AppList* apps) { m_apps = apps; }

  void ReportUnreadableHistory() { m_notifier.ShowMessage({messages::Id::LoadFailure, {}}); }

  // Trims the box's text, adds it to the list unless there (ignoring case), expands %VARIABLES%
  // and hands it to the shell, its messages modal to `owner`; records nothing. The trimmed command
  // if accepted; nothing when refused (the shell told the user) or too long (reported here).
  std::optional<std::string> Launch(ICommandBox& box, bool elevated, std::uintptr_t owner);

  // One attempt each; touch only the files (no notifier), so they may run on another thread.
  RewriteOutcome Record(const std::string& line) { return RewriteHistory(m_files, line, true); }
  RewriteOutcome Forget(const std::string& line) { return RewriteHistory(m_files, line, false); }

  // On the caller's thread; nothing when it was done.
  void ReportForget(const RewriteOutcome& outcome);
  void ReportUnrecorded(const std::string& command, const RewriteOutcome& outcome);

 private:
  IFileSystem& m_files;
  IShell& m_shell;
  INotifier& m_notifier;
  const AppList* m_apps = nullptr;
};

}  // namespace quillgate
