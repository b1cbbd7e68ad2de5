#include "ui/launcher_dialog.h"

#include "resource.h"
#include "ui/browse.h"
#include "version.h"

namespace quillgate {

CQuillGateDlg::CQuillGateDlg() : CDialog(IDD_LAUNCHER_DIALOG) {}

void CQuillGateDlg::DoDataExchange() {
  DDX_Control(m_hWnd, IDC_COMMAND, m_command);
}

BOOL CQuillGateDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  // Only the caption's icon: the large one stays the executable's own.
  HICON icon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_LAUNCHER));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

  HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
  AppendMenuW(systemMenu, MF_STRING, IDM_ABOUT, L"&About...");

  LoadHistory();

  // Ready to be typed into at once, wherever the launcher was started from.
  m_command.SetFocus();
  SetForegroundWindow(m_hWnd);
  return FALSE;
}

void CQuillGateDlg::OnOK() {
  // Asked for at this moment, so Ctrl held while clicking OK elevates too.
  const bool elevated = GetKeyState(VK_LCONTROL) < 0 || GetKeyState(VK_RCONTROL) < 0;
  // A command the shell refused keeps the dialog open; the shell has told the user why.
  if (RunCommand(elevated)) EndDialog(IDCANCEL);
}

bool CQuillGateDlg::OnControlCommand(UINT id, UINT code) {
  switch (id) {
    case IDC_COMMAND:
      if (code != CBN_SELCHANGE) return false;
      OnCommandSelChange();
      return true;
    case IDC_BROWSE:
      if (code != BN_CLICKED) return false;
      OnBrowse();
      return true;
    default:
      return false;
  }
}

void CQuillGateDlg::OnSysCommand(UINT id, LPARAM) {
  // The system keeps the low four bits of a system command for itself.
  if ((id & 0xFFF0) == IDM_ABOUT) {
    AfxMessageBox(QG_ABOUT_TEXT, MB_OK, 0);
  } else {
    Default();
  }
}

// The combo box copies a chosen item into its edit field by itself.
void CQuillGateDlg::OnCommandSelChange() {}

void CQuillGateDlg::OnBrowse() {
  AppendBrowsedPath(m_command);
}

}  // namespace quillgate
