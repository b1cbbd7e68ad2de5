#include "platform/win32_shell.h"

#include "platform/win32_handle.h"
#include "platform/win32_text.h"

namespace quillgate::win32 {

static_assert(kMaskNoAsync == SEE_MASK_NOASYNC, "the core asks the shell to finish the launch");

CommandParts Shell::SplitArguments(const std::string& command) {
  const auto getArgs = shlwapi::PathGetArgsW();
  const auto removeArgs = shlwapi::PathRemoveArgsW();
  if (!getArgs || !removeArgs) return SplitCommandLine(command);  // the same rule
  // One buffer for both calls: the arguments are taken before the file part is cut off.
  std::wstring buffer = Widen(command);
  std::string parameters = Narrow(getArgs(buffer.c_str()));
  removeArgs(buffer.data());
  return {Narrow(buffer.c_str()), std::move(parameters)};
}

std::string Shell::SystemDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  GetSystemDirectoryW(buffer, MAX_PATH);
  return Narrow(buffer);
}

std::optional<std::string> Shell::Variable(const std::string& name) {
  const std::wstring wideName = Widen(name);
  std::wstring value(64, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    if (length < value.size()) return Narrow(std::wstring_view(value.data(), length));
    value.resize(length);  // the size it asked for, terminator included
  }
}

bool Shell::Execute(const LaunchRequest& request) {
  const std::wstring verb = Widen(request.verb), file = Widen(request.file),
                     parameters = Widen(request.parameters), directory = Widen(request.directory);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = request.mask;
  info.hwnd = reinterpret_cast<HWND>(request.owner);
  info.lpVerb = verb.empty() ? nullptr : verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = directory.c_str();
  info.nShow = request.show;
  const auto execute = shell32::ShellExecuteExW();
  // A launch handed to an extension or DDE runs through COM: NOASYNC ends it before the apartment.
  const ComApartment com;
  return execute && execute(&info) != FALSE;
}

}  // namespace quillgate::win32
