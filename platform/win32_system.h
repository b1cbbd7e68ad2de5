// System DLLs a run may never need (shell32, shlwapi, ole32) load at the first call into them:
// importing them made every start under Wine a tenth slower, and most runs need none before the
// user acts. (GNU ld's delay-load imports would do that, but their 32-bit form calls address 0.)
#pragma once

#include <windows.h>

namespace quillgate::win32 {

// `name` from `dll` in the system folder, which stays loaded; null when either is missing.
void* SystemProc(const wchar_t* dll, const char* name);

// Typed as its declaration: SystemFunction<decltype(F)>(dll, "F"). Callers keep the result in
// a function-local static, so each is looked up once.
template <typename Function>
Function* SystemFunction(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function*>(SystemProc(dll, name));
}

}  // namespace quillgate::win32
