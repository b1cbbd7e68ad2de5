#include "ui/win32_notifier.h"

#include <cstdio>

#include "platform/framework.h"
#include "platform/win32_text.h"

namespace quillgate {

void MessageBoxNotifier::ShowMessage(const std::string& text) {
  AfxMessageBox(win32::Widen(text), MB_OK, 0);
}

void MessageBoxNotifier::ReportFailure(const std::string& text) {
  // A windowed process has no console; whoever started it with a pipe still gets the line.
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace quillgate
