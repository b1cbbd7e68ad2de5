#include "core/launch_core.h"

#include "core/apps.h"
#include "core/text.h"

namespace quillgate {

std::optional<std::string> LaunchCore::Launch(ICommandBox& box, bool elevated,
                                              std::uintptr_t owner) {
  std::string command = TrimCommand(box.GetText());
  if (!box.FindStringExact(command)) box.AddString(command.c_str());
  // An installed app's exact name is that app, before the text is split at a space.
  if (const auto app = m_apps ? m_apps->Launch(command, elevated, owner, m_shell, m_notifier)
                              : std::nullopt)
    return *app ? std::optional(command) : std::nullopt;
  const LaunchRequest request = BuildLaunchRequest(m_shell, command, elevated, owner);
  if (Utf16Units(request.file) > kLongestName) {
    m_notifier.ShowMessage({messages::Id::TooLong, {}});
    return std::nullopt;
  }
  if (!m_shell.Execute(request)) return std::nullopt;
  return command;
}

void LaunchCore::ReportForget(const RewriteOutcome& outcome) {
  if (outcome.kind == RewriteOutcome::Kind::Failed) {
    m_notifier.ReportFailure(outcome.reason);
    m_notifier.ShowMessage(messages::ForgetFailed(outcome.reason));
  } else if (outcome.kind == RewriteOutcome::Kind::NothingMatched) {
    // In the list only (a command the shell refused), or gone already: the entry stays, so the
    // list never claims that something left the history.
    m_notifier.ShowMessage({messages::Id::NothingToForget, {}});
  }
}

void LaunchCore::ReportUnrecorded(const std::string& command, const RewriteOutcome& outcome) {
  if (outcome.kind != RewriteOutcome::Kind::Failed) return;
  m_notifier.ReportFailure(outcome.reason);
  m_notifier.ShowMessage(messages::Unrecorded(command, outcome.reason));
}

}  // namespace quillgate
