#include "platform/win32_shell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstddef>
#include <vector>

#include "core/launch_core.h"
#include "platform/win32_system.h"

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

CommandParts Shell::SplitArguments(const std::string& command) {
  static const auto getArgs =
      SystemFunction<decltype(PathGetArgsA)>(L"shlwapi.dll", "PathGetArgsA");
  static const auto removeArgs =
      SystemFunction<decltype(PathRemoveArgsA)>(L"shlwapi.dll", "PathRemoveArgsA");
  if (!getArgs || !removeArgs) return SplitCommandLine(command);  // the same rule
  // One buffer for both calls: the arguments are taken before the file part is cut off.
  std::vector<char> buffer(command.begin(), command.end());
  buffer.push_back('\0');
  std::string parameters = getArgs(buffer.data());
  removeArgs(buffer.data());
  return {std::string(buffer.data()), std::move(parameters)};
}

std::string Shell::SystemDirectory() {
  char buffer[MAX_PATH] = {};
  GetSystemDirectoryA(buffer, MAX_PATH);
  return buffer;
}

bool Shell::Execute(const LaunchRequest& request) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = request.fMask;
  info.hwnd = static_cast<HWND>(request.hwnd);
  info.lpVerb = request.lpVerb;
  info.lpFile = request.lpFile;
  info.lpParameters = request.lpParameters;
  info.lpDirectory = request.lpDirectory;
  info.nShow = request.nShow;
  info.hInstApp = static_cast<HINSTANCE>(request.hInstApp);
  static const auto execute =
      SystemFunction<decltype(ShellExecuteExA)>(L"shell32.dll", "ShellExecuteExA");
  return execute && execute(&info) != FALSE;
}

}  // namespace quillgate::win32
