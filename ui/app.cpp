// The application object: shows the launcher once, then lets it record what it launched.
#include "ui/launcher_dialog.h"

namespace quillgate {

class CQuillGateApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

CQuillGateApp theApp;

BOOL CQuillGateApp::InitInstance() {
  CQuillGateDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  // The window is gone by now, at once, whatever the recording waits for.
  dlg.RecordAccepted();
  // FALSE: the process ends here, without an application message loop.
  return FALSE;
}

}  // namespace quillgate

// The linker looks for the entry point in the executable's own objects.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return quillgate::AfxWinMain(instance);
}
