#include "ui/win32_notifier.h"

#include <cstdio>

#include "platform/framework.h"
#include "platform/win32_text.h"
#include "resource.h"

namespace quillgate {

void MessageBoxNotifier::ShowMessage(const messages::Message& message) {
  std::vector<std::wstring> arguments;
  for (const std::string& argument : message.arguments) arguments.push_back(win32::Widen(argument));
  // In the order of messages::Id.
  constexpr UINT kTexts[] = {IDS_LOAD_FAILURE, IDS_TOO_LONG, IDS_NOTHING_TO_FORGET,
                             IDS_FORGET_FAILED, IDS_UNRECORDED, IDS_CANNOT_ELEVATE};
  const std::wstring text = ResourceText(kTexts[static_cast<std::size_t>(message.id)]);
  AfxMessageBox(messages::Fill<wchar_t>(text, arguments));
}

void MessageBoxNotifier::ReportFailure(const std::string& text) {
  // A windowed process has no console; whoever started it with a pipe still gets the line.
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace quillgate
