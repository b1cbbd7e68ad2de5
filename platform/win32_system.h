// Every system function outside kernel32, msvcrt and user32 is called through here: its DLL
// (shell32, ole32, comctl32, ...) loads at the first call into it. Importing them made every
// start under Wine a tenth slower, and most runs need none before the user acts. (GNU ld's
// delay-load imports would do that, but their 32-bit form calls address 0.) Each function is
// named here by its DLL (user32's from Windows 10 1607 in win32_dpi.cpp, which declares them),
// and looked up once.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <dwmapi.h>
#include <knownfolders.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <uxtheme.h>

namespace quillgate::win32 {

// `name` from `dll` in the system folder, which stays loaded; null when either is missing.
// SystemFunction<decltype(F)>(dll, "F") types it as F is declared.
void* SystemProc(const wchar_t* dll, const char* name);
template <typename Function>
Function* SystemFunction(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function*>(SystemProc(dll, name));
}

// dll::F(): F, looked up at the first ask and kept for the process; null where `dll` lacks it.
#define QG_SYSTEM_FUNCTION(dll, F)                                                  \
  namespace dll {                                                                   \
  inline decltype(::F)* F() {                                                       \
    static const auto address = SystemFunction<decltype(::F)>(L"" #dll ".dll", #F); \
    return address;                                                                 \
  }                                                                                 \
  }

// The program imports kernel32, msvcrt and user32 only; user32 loads advapi32 and gdi32 with it.
QG_SYSTEM_FUNCTION(advapi32, RegCloseKey)
QG_SYSTEM_FUNCTION(advapi32, RegGetValueW)
QG_SYSTEM_FUNCTION(advapi32, RegOpenKeyExW)
QG_SYSTEM_FUNCTION(advapi32, RegQueryInfoKeyW)
QG_SYSTEM_FUNCTION(gdi32, CreateSolidBrush)
QG_SYSTEM_FUNCTION(gdi32, SelectObject)
QG_SYSTEM_FUNCTION(gdi32, SetBkColor)
QG_SYSTEM_FUNCTION(gdi32, SetTextColor)
QG_SYSTEM_FUNCTION(comctl32, DefSubclassProc)
QG_SYSTEM_FUNCTION(comctl32, RemoveWindowSubclass)
QG_SYSTEM_FUNCTION(comctl32, SetWindowSubclass)
QG_SYSTEM_FUNCTION(dwmapi, DwmSetWindowAttribute)
QG_SYSTEM_FUNCTION(uxtheme, SetWindowTheme)
QG_SYSTEM_FUNCTION(ole32, CoCreateInstance)
QG_SYSTEM_FUNCTION(ole32, CoDisconnectObject)
QG_SYSTEM_FUNCTION(ole32, CoInitializeEx)
QG_SYSTEM_FUNCTION(ole32, CoTaskMemFree)
QG_SYSTEM_FUNCTION(ole32, CoUninitialize)
QG_SYSTEM_FUNCTION(oleacc, CreateStdAccessibleObject)
QG_SYSTEM_FUNCTION(oleacc, LresultFromObject)
QG_SYSTEM_FUNCTION(oleaut32, SysAllocStringLen)
QG_SYSTEM_FUNCTION(shell32, DragFinish)
QG_SYSTEM_FUNCTION(shell32, DragQueryFileW)
QG_SYSTEM_FUNCTION(shell32, SHGetFileInfoW)
QG_SYSTEM_FUNCTION(shell32, SHGetKnownFolderItem)
QG_SYSTEM_FUNCTION(shell32, SHGetKnownFolderPath)
QG_SYSTEM_FUNCTION(shell32, ShellExecuteExW)
QG_SYSTEM_FUNCTION(shlwapi, PathGetArgsW)
QG_SYSTEM_FUNCTION(shlwapi, PathRemoveArgsW)
QG_SYSTEM_FUNCTION(shlwapi, StrCmpLogicalW)

}  // namespace quillgate::win32
