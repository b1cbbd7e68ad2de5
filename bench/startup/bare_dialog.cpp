// The yardstick for the launcher's start-up: the launcher's own dialog template, shown by the
// dialog manager with nothing else around it.
#include <windows.h>

#include "resource.h"

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  // The dialog manager turns Esc and the close box into IDCANCEL; only the procedure can end it.
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return static_cast<int>(
      DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LAUNCHER_DIALOG), nullptr, BareDialogProc, 0));
}
