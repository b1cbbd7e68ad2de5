// A typed command on its way to the shell: trimmed, split, its %VARIABLES% expanded.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillgate {

class IShell;

struct CommandParts {
  std::string file;        // what PathRemoveArgs leaves, quotes included
  std::string parameters;  // what PathGetArgs points at; empty when there are none
};

// SEE_MASK_NOASYNC: the launcher ends right after the call, so a launch handed to an extension
// or DDE must be over by the time it returns.
constexpr std::uint32_t kMaskNoAsync = 0x100;

struct LaunchRequest {
  std::string verb;  // empty: the file's default verb
  std::string file, parameters, directory;
  std::uintptr_t owner = 0;  // the window the shell's own messages are modal to; 0: none
  std::uint32_t mask = kMaskNoAsync;
  std::int32_t show = 1;  // SW_SHOWNORMAL
};

// No name the shell opens is longer (its longest, an Internet address, is 2,083 units less the
// terminator and slack); some shells overrun their buffers on a far longer one.
constexpr std::size_t kLongestName = 2048;

// Spaces (U+0020 only) go from both ends; tabs and inner spaces stay.
std::string TrimCommand(std::string_view text);

// PathGetArgs/PathRemoveArgs portably: arguments begin after the first space outside double
// quotes; quotes around the file part stay.
CommandParts SplitCommandLine(std::string_view command);

// %NAME% replaced by its value, as the shell expands them; a name not set stays as typed, and
// its closing % may open the next name.
using VariableLookup = std::function<std::optional<std::string>(const std::string& name)>;
std::string ExpandVariables(std::string_view text, const VariableLookup& lookup);

// The request for `command` as typed, elevated through "runas" when asked.
LaunchRequest BuildLaunchRequest(IShell& shell, const std::string& command, bool elevated,
                                 std::uintptr_t owner);

}  // namespace quillgate
