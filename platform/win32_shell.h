// The core's shell services: splitting a command, the environment, handing a launch over.
#pragma once

#include "core/ports.h"

namespace quillgate::win32 {

// Over shlwapi, kernel32 and shell32, through their wide (UTF-16) forms.
class Shell final : public IShell {
 public:
  CommandParts SplitArguments(const std::string& command) override;
  std::string SystemDirectory() override;
  std::optional<std::string> Variable(const std::string& name) override;
  bool Execute(const LaunchRequest& request) override;
};

}  // namespace quillgate::win32
