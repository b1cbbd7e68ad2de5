#include "platform/win32_system.h"

namespace quillgate::win32 {

void* SystemProc(const wchar_t* dll, const char* name) {
  // The system folder only; Windows 7 without KB2533623 lacks the flag, but takes these
  // KnownDLLs from there anyway.
  HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) module = LoadLibraryW(dll);
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

}  // namespace quillgate::win32
