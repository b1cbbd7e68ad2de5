// Messages for the user go to a message box; the one diagnostic line goes to standard output.
#pragma once

#include "core/ports.h"

namespace quillgate {

class MessageBoxNotifier final : public INotifier {
 public:
  void ShowMessage(const std::string& text) override;
  void ReportFailure(const std::string& text) override;
};

}  // namespace quillgate
