// Stands in for a program the launcher starts: writes the command line it was given and the
// folder it was started in, one per line, to the file named by QG_RECORDER_OUTPUT. Its own
// arguments are what is being checked, so it takes nothing else from them.
#include <windows.h>

#include <string>

int main() {
  wchar_t output[32768];
  const DWORD length = GetEnvironmentVariableW(L"QG_RECORDER_OUTPUT", output, 32768);
  if (length == 0 || length >= 32768) return 2;
  char directory[MAX_PATH * 2] = {};
  GetCurrentDirectoryA(sizeof directory, directory);
  const std::string text = std::string(GetCommandLineA()) + "\r\n" + directory + "\r\n";

  // Written aside and moved into place, so the test never sees half a record.
  const std::wstring target(output, length);
  const std::wstring part = target + L".part";
  HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || !MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return 4;
  return 0;
}
