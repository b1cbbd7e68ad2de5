#include "ui/app.h"

#include "ui/launcher_dialog.h"

namespace quillgate {

CQuillGateApp theApp;

BOOL CQuillGateApp::InitInstance() {
  // Holds the combination while the launcher runs; nothing acts on it, and a launcher that
  // finds it taken by another one works all the same.
  RegisterHotKey(nullptr, 1, MOD_WIN | MOD_NOREPEAT, 'R');

  CQuillGateDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  // FALSE: the process ends here, without an application message loop.
  return FALSE;
}

}  // namespace quillgate

// The linker looks for the entry point in the executable's own objects.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return quillgate::AfxWinMain(instance);
}
