// What the user reads from the core: which message, and the words that go into it. The core
// cannot load the user's language; the notifier turns each into that language's text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillgate::messages {

enum class Id { LoadFailure, TooLong, NothingToForget, ForgetFailed, Unrecorded, CannotElevate };

struct Message {
  Id id;
  std::vector<std::string> arguments;  // %1, %2, ... of the text
  bool operator==(const Message& other) const {
    return id == other.id && arguments == other.arguments;
  }
};

inline Message ForgetFailed(const std::string& reason) {
  return {Id::ForgetFailed, {reason}};
}

inline Message Unrecorded(const std::string& command, const std::string& reason) {
  return {Id::Unrecorded, {command, reason}};
}

// An installed app Windows does not open as administrator (a packaged app, an Internet shortcut).
inline Message CannotElevate(const std::string& app) {
  return {Id::CannotElevate, {app}};
}

// `text` with %1 to %9 replaced by the arguments, in one pass: a command or a reason that holds
// a %1 of its own is shown as it is. A translation may put the arguments in any order.
template <typename Char>
std::basic_string<Char> Fill(std::basic_string_view<Char> text,
                             const std::vector<std::basic_string<Char>>& arguments) {
  std::basic_string<Char> filled;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t n = i + 1 < text.size() ? std::size_t(text[i + 1] - Char('1')) : 9;
    if (text[i] == Char('%') && n < 9 && n < arguments.size()) {
      filled += arguments[n];
      ++i;
    } else {
      filled += text[i];
    }
  }
  return filled;
}

}  // namespace quillgate::messages
