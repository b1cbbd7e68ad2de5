// System DLLs a run may never need (shell32, shlwapi, ole32) load at the first call into them:
// importing them made every start under Wine a tenth slower, and most runs need none before the
// user acts. (GNU ld's delay-load imports would do that, but their 32-bit form calls address 0.)
// Every function the program looks up so is named here, by its DLL, and looked up once; user32's
// from Windows 10 1607 in win32_dpi.cpp, which declares them.
#pragma once

#include <windows.h>
#include <dwmapi.h>
#include <knownfolders.h>
#include <objbase.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <uxtheme.h>

namespace quillgate::win32 {

// `name` from `dll` in the system folder, which stays loaded; null when either is missing.
void* SystemProc(const wchar_t* dll, const char* name);

// Typed as its declaration: SystemFunction<decltype(F)>(dll, "F").
template <typename Function>
Function* SystemFunction(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function*>(SystemProc(dll, name));
}

// dll::F(): F, looked up at the first ask and kept for the process; null where `dll` lacks it.
#define QG_SYSTEM_FUNCTION(dll, F)                                                  \
  inline decltype(::F)* F() {                                                       \
    static const auto address = SystemFunction<decltype(::F)>(L"" #dll ".dll", #F); \
    return address;                                                                 \
  }

// The program imports kernel32, msvcrt and user32 only; user32 loads these two with it.
namespace advapi32 {
QG_SYSTEM_FUNCTION(advapi32, RegGetValueW)
}
namespace gdi32 {
QG_SYSTEM_FUNCTION(gdi32, CreateSolidBrush)
QG_SYSTEM_FUNCTION(gdi32, SelectObject)
QG_SYSTEM_FUNCTION(gdi32, SetBkColor)
QG_SYSTEM_FUNCTION(gdi32, SetTextColor)
}  // namespace gdi32
namespace dwmapi {
QG_SYSTEM_FUNCTION(dwmapi, DwmSetWindowAttribute)
}
namespace uxtheme {
QG_SYSTEM_FUNCTION(uxtheme, SetWindowTheme)
}
namespace ole32 {
QG_SYSTEM_FUNCTION(ole32, CoCreateInstance)
QG_SYSTEM_FUNCTION(ole32, CoInitializeEx)
QG_SYSTEM_FUNCTION(ole32, CoTaskMemFree)
QG_SYSTEM_FUNCTION(ole32, CoUninitialize)
}  // namespace ole32
namespace oleacc {
QG_SYSTEM_FUNCTION(oleacc, CreateStdAccessibleObject)
QG_SYSTEM_FUNCTION(oleacc, LresultFromObject)
}  // namespace oleacc
namespace oleaut32 {
QG_SYSTEM_FUNCTION(oleaut32, SysAllocStringLen)
}
namespace shell32 {
QG_SYSTEM_FUNCTION(shell32, DragFinish)
QG_SYSTEM_FUNCTION(shell32, DragQueryFileW)
QG_SYSTEM_FUNCTION(shell32, SHGetKnownFolderPath)
QG_SYSTEM_FUNCTION(shell32, ShellExecuteExW)
}  // namespace shell32
namespace shlwapi {
QG_SYSTEM_FUNCTION(shlwapi, PathGetArgsW)
QG_SYSTEM_FUNCTION(shlwapi, PathRemoveArgsW)
QG_SYSTEM_FUNCTION(shlwapi, StrCmpLogicalW)
}  // namespace shlwapi

}  // namespace quillgate::win32
