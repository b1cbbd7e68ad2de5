#include "core/launch_core.h"

#include "core/apps.h"
#include "core/text.h"

namespace quillgate {

std::optional<std::string> LaunchCore::Launch(ICommandBox& box, bool elevated,
                                              std::uintptr_t owner) {
  std::string command = TrimCommand(box.GetText());
  if (!box.FindStringExact(command)) box.AddString(command.c_str());
  // An installed app's exact name is that app, before the text is split at a space.
  if (const auto app = m_apps ? m_apps->Launch(command, elevated, owner, shell_, notifier_)
                              : std::nullopt)
    return *app ? std::optional(command) : std::nullopt;
  const LaunchRequest request = BuildLaunchRequest(shell_, command, elevated, owner);
  if (Utf16Units(request.file) > kLongestName) {
    notifier_.ShowMessage({messages::Id::TooLong, {}});
    return std::nullopt;
  }
  if (!shell_.Execute(request)) return std::nullopt;
  return command;
}

void LaunchCore::ReportForget(const RewriteOutcome& outcome) {
  if (outcome.kind == RewriteOutcome::Kind::Failed) {
    notifier_.ReportFailure(outcome.reason);
    notifier_.ShowMessage(messages::ForgetFailed(outcome.reason));
  } else if (outcome.kind == RewriteOutcome::Kind::NothingMatched) {
    // In the list only (a command the shell refused), or gone already: the entry stays, so the
    // list never claims that something left the history.
    notifier_.ShowMessage({messages::Id::NothingToForget, {}});
  }
}

void LaunchCore::ReportUnrecorded(const std::string& command, const RewriteOutcome& outcome) {
  if (outcome.kind != RewriteOutcome::Kind::Failed) return;
  notifier_.ReportFailure(outcome.reason);
  notifier_.ShowMessage(messages::Unrecorded(command, outcome.reason));
}

}  // namespace quillgate
