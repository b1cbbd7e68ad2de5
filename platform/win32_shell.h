#pragma once

#include "core/ports.h"

namespace quillgate::win32 {

// The launch services over shlwapi, kernel32 and shell32.
class Shell final : public IShell {
 public:
  CommandParts SplitArguments(const std::string& command) override;
  std::string SystemDirectory() override;
  bool Execute(const LaunchRequest& request) override;
};

}  // namespace quillgate::win32
