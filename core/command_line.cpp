#include "core/command_line.h"

#include <algorithm>

#include "core/ports.h"

namespace quillgate {

std::string TrimCommand(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

CommandParts SplitCommandLine(std::string_view command) {
  bool quoted = false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == ' ' && !quoted) {
      return {std::string(command.substr(0, i)), std::string(command.substr(i + 1))};
    }
    if (c == '"') quoted = !quoted;
  }
  // No arguments: PathRemoveArgs still drops a final space, even one inside open quotes.
  std::string file(command);
  if (!file.empty() && file.back() == ' ') file.pop_back();
  return {std::move(file), {}};
}

std::string ExpandVariables(std::string_view text, const VariableLookup& lookup) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto open = text.find('%', pos);
    const auto close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out += text.substr(pos, open - pos);
    const std::string name(text.substr(open + 1, close - open - 1));
    std::optional<std::string> value;
    if (!name.empty()) value = lookup(name);
    if (value) {
      out += *value;
      pos = close + 1;
    } else {
      out += text.substr(open, close - open);
      pos = close;
    }
  }
  out += text.substr(std::min(pos, text.size()));
  return out;
}

LaunchRequest BuildLaunchRequest(IShell& shell, const std::string& command, bool elevated,
                                 std::uintptr_t owner) {
  // Split as typed, so a variable's spaces stay inside the program's path; then expanded as the
  // Run box does (the shell expands nothing unless asked). The history keeps it as typed.
  const VariableLookup lookup = [&shell](const std::string& name) { return shell.Variable(name); };
  const CommandParts parts = shell.SplitArguments(command);
  return {elevated ? "runas" : "", ExpandVariables(parts.file, lookup),
          ExpandVariables(parts.parameters, lookup),
          ExpandVariables(shell.SystemDirectory(), lookup), owner};
}

}  // namespace quillgate
