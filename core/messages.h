// What the user reads from the core, in one place.
#pragma once

#include <string>

namespace quillgate::messages {

constexpr const char kLoadFailure[] = "Failed to open quillgate.ini";
constexpr const char kTooLong[] = "The command is too long for Windows to open.";
constexpr const char kNothingToForget[] =
    "This command is not in quillgate.ini, so there was nothing to forget.";

inline std::string ForgetFailed(const std::string& reason) {
  return "The command could not be forgotten: " + reason;
}

inline std::string Unrecorded(const std::string& command, const std::string& reason) {
  return "QuillGate opened \"" + command + "\" but could not keep it in quillgate.ini: " + reason;
}

}  // namespace quillgate::messages
