#include "ui/launcher_dialog.h"

#include "resource.h"
#include "platform/win32_text.h"
#include "ui/browse.h"
#include "ui/file_drop.h"
#include "version.h"

namespace quillgate {

namespace {

// How long one piece of the list's fill may keep input waiting.
constexpr unsigned kFillPieceMs = 10;
// Posted by a folder read for the suggestions when it ends (the framework has WM_APP).
constexpr UINT kFolderReadMessage = WM_APP + 1;

// Input that completion, the drop-down or moving through the list answers, when it is for the
// command box. Enter, Esc and Tab leave the box, and the modifiers alone do nothing: those
// never wait for the list, so a launch is immediate with a history of any size.
bool ActsOnList(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      switch (msg.wParam) {
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_TAB:
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_LWIN:
        case VK_RWIN:
          return false;
        default:
          return true;
      }
    case WM_CHAR:
      return msg.wParam != '\r' && msg.wParam != '\n' && msg.wParam != 0x1B && msg.wParam != '\t';
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_MOUSEWHEEL:
      return true;
    default:
      return false;
  }
}

}  // namespace

CQuillGateDlg::CQuillGateDlg() : CDialog(IDD_LAUNCHER_DIALOG) {}

void CQuillGateDlg::LoadHistory() {
  m_box.BeginCollecting();
  m_core.LoadHistory(m_box);
  m_box.EndCollecting();
}

void CQuillGateDlg::DoDataExchange() {
  DDX_Control(m_hWnd, IDC_COMMAND, m_command);
}

BOOL CQuillGateDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  m_scaling.Apply(m_hWnd, win32::WindowDpi(m_hWnd));

  HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
  AppendMenuW(systemMenu, MF_STRING, IDM_ABOUT, L"&About...");

  LoadHistory();
  m_suggestions.Attach(m_hWnd, kFolderReadMessage);
  m_command.m_onTyped = [this](const std::wstring& typed) { m_suggestions.Typed(typed); };

  // Ready to be typed into at once, wherever the launcher was started from.
  m_command.SetFocus();
  SetForegroundWindow(m_hWnd);
  return FALSE;
}

BOOL CQuillGateDlg::PreTranslateMessage(MSG* msg) {
  const bool forBox = msg->hwnd == m_command.m_hWnd || IsChild(m_command.m_hWnd, msg->hwnd);
  if (forBox && m_box.Filling() && ActsOnList(*msg)) m_box.FillAll();
  if (m_suggestions.PreTranslateMessage(*msg, forBox)) return TRUE;
  // Files dropped on the dialog or the box (both accept them); the drop is posted.
  if (msg->message == WM_DROPFILES && (forBox || msg->hwnd == m_hWnd)) {
    m_suggestions.Hide();
    AppendDroppedFiles(m_command, reinterpret_cast<HDROP>(msg->wParam));
    return TRUE;
  }
  // Shift+Delete forgets the entry highlighted in the open list; with the list closed it is
  // the edit field's own (cut).
  if (forBox && msg->message == WM_KEYDOWN && msg->wParam == VK_DELETE &&
      GetKeyState(VK_SHIFT) < 0 && m_command.GetDroppedState() && OnForget()) {
    return TRUE;
  }
  return CDialog::PreTranslateMessage(msg);
}

bool CQuillGateDlg::OnForget() {
  const int index = m_command.GetCurSel();
  if (index == CB_ERR) return false;
  // The entry stays unless its lines left the history; the user has heard why.
  const std::string command = win32::Narrow(m_command.GetLBText(index));
  if (m_core.ForgetCommand(command) != ForgetResult::Forgotten) return true;
  m_command.DeleteString(index);
  const int count = m_command.GetCount();
  if (count > 0) {
    m_command.SetCurSel(index < count ? index : count - 1);  // the list stays on its neighbour
  } else {
    m_command.SetWindowText(L"");
  }
  return true;
}

bool CQuillGateDlg::OnIdle() {
  return m_box.Fill(kFillPieceMs);
}

void CQuillGateDlg::OnOK() {
  // Asked for at this moment, so Ctrl held while clicking OK elevates too.
  const bool elevated = GetKeyState(VK_LCONTROL) < 0 || GetKeyState(VK_RCONTROL) < 0;
  // A command the shell refused keeps the dialog open; the shell has told the user why. Its
  // message took the focus: the box gets it back, ready for the correction.
  if (RunCommand(elevated)) {
    EndDialog(IDCANCEL);
  } else {
    m_command.SetFocus();
    SetForegroundWindow(m_hWnd);
  }
}

bool CQuillGateDlg::OnControlCommand(UINT id, UINT code) {
  switch (id) {
    case IDC_COMMAND:
      // Whatever opened the list (a click, a key, a message from elsewhere), it shows whole.
      if (code == CBN_DROPDOWN) {
        m_suggestions.Hide();
        m_box.FillAll();
        return true;
      }
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
    AfxMessageBox(L"" QG_ABOUT_TEXT, MB_OK, 0);
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
