// Messages for the user go to a message box, in the user's language; the one diagnostic line goes
// to standard output.
#pragma once

#include <windows.h>

#include <string>

#include "core/ports.h"

namespace quillgate {

class MessageBoxNotifier final : public INotifier {
 public:
  void ShowMessage(const messages::Message& message) override;
  void ReportFailure(const std::string& text) override;
};

}  // namespace quillgate
