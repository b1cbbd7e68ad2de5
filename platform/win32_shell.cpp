#include "platform/win32_shell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstddef>
#include <optional>

#include "core/launch_core.h"
#include "platform/win32_handle.h"
#include "platform/win32_system.h"
#include "platform/win32_text.h"

namespace quillgate::win32 {

#define QG_SAME_FIELD(field)                                                          \
  static_assert(offsetof(LaunchRequest, field) == offsetof(SHELLEXECUTEINFOA, field), \
                "launch record field " #field " is out of place")
static_assert(sizeof(LaunchRequest) == sizeof(SHELLEXECUTEINFOA), "launch record size");
QG_SAME_FIELD(fMask);
QG_SAME_FIELD(hwnd);
QG_SAME_FIELD(lpVerb);
QG_SAME_FIELD(lpFile);
QG_SAME_FIELD(lpParameters);
QG_SAME_FIELD(lpDirectory);
QG_SAME_FIELD(nShow);
QG_SAME_FIELD(hInstApp);
QG_SAME_FIELD(hProcess);
#undef QG_SAME_FIELD
static_assert(kMaskNoAsync == SEE_MASK_NOASYNC, "the core asks the shell to finish the launch");

CommandParts Shell::SplitArguments(const std::string& command) {
  static const auto getArgs =
      SystemFunction<decltype(PathGetArgsW)>(L"shlwapi.dll", "PathGetArgsW");
  static const auto removeArgs =
      SystemFunction<decltype(PathRemoveArgsW)>(L"shlwapi.dll", "PathRemoveArgsW");
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
  // The record keeps its pointers into these for the call.
  const auto wide = [](const char* text) {
    return text ? std::optional<std::wstring>(Widen(text)) : std::nullopt;
  };
  const auto verb = wide(request.lpVerb), file = wide(request.lpFile),
             parameters = wide(request.lpParameters), directory = wide(request.lpDirectory);
  const auto pointer = [](const std::optional<std::wstring>& text) {
    return text ? text->c_str() : nullptr;
  };
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = request.fMask;
  info.hwnd = static_cast<HWND>(request.hwnd);
  info.lpVerb = pointer(verb);
  info.lpFile = pointer(file);
  info.lpParameters = pointer(parameters);
  info.lpDirectory = pointer(directory);
  info.nShow = request.nShow;
  info.hInstApp = static_cast<HINSTANCE>(request.hInstApp);
  static const auto execute =
      SystemFunction<decltype(ShellExecuteExW)>(L"shell32.dll", "ShellExecuteExW");
  // A launch that goes to a shell extension or to DDE runs through COM; with SEE_MASK_NOASYNC
  // it is over by the time the call returns, before this apartment ends and the process too.
  const ComApartment com;
  return execute && execute(&info) != FALSE;
}

}  // namespace quillgate::win32
