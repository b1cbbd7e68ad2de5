// Windows' own DLLs that a run may never need (shell32, shlwapi, ole32) are loaded at the first
// call into them, not with the program: importing them made every start under Wine a tenth
// slower, and most runs need none of them before the user acts. (GNU ld's delay-load imports
// would do the same, but their 32-bit form calls address zero.)
#pragma once

#include <windows.h>

namespace quillgate::win32 {

// `name` from `dll` in the system folder, which stays loaded; null when either is missing.
void* SystemProc(const wchar_t* dll, const char* name);

// The same, typed as the declaration it stands for: SystemFunction<decltype(F)>(dll, "F").
// Callers keep the result in a function-local static, so each is looked up once.
template <typename Function>
Function* SystemFunction(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function*>(SystemProc(dll, name));
}

}  // namespace quillgate::win32
