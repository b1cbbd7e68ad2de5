#include "ui/launcher_dialog.h"

#include <cwchar>
#include <utility>

#include "core/apps.h"
#include "core/command_line.h"

#include "platform/window_messages.h"
#include "platform/win32_system.h"
#include "resource.h"
#include "ui/box_description.h"
#include "ui/file_drop.h"

namespace quillgate {

namespace {

// A failed recording goes on being tried while another program holds the history.
constexpr DWORD kRecordRetryMs = 250;

// Files dropped on the box reach the dialog (`dialog`) whatever message loop runs at that moment
// (a message box's, the file dialog's), not only the launcher's own.
LRESULT CALLBACK BoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR dialog) {
  if (message == WM_DROPFILES) {
    return SendMessageW(reinterpret_cast<HWND>(dialog), message, wParam, lParam);
  }
  BoxDescriptionMessage(box, message);
  if (message == WM_NCDESTROY) win32::comctl32::RemoveWindowSubclass()(box, BoxProcedure, 0);
  const LRESULT result = win32::comctl32::DefSubclassProc()(box, message, wParam, lParam);
  if (message == WM_PAINT) DrawBoxFrame(box);
  return result;
}

}  // namespace

CQuillGateDlg::CQuillGateDlg() : CDialog(IDD_LAUNCHER_DIALOG) {
  m_loader.onLoaded = [this](bool readable) { OnLinesLoaded(readable); };
  m_loader.onForgotten = [this](std::size_t index, const RewriteOutcome& outcome) {
    m_core.ReportForget(outcome);
    // Told after the dialog, the lines are let go already.
    if (outcome.kind == RewriteOutcome::Kind::Done && index < m_box.Lines().Count())
      m_history.Erase(index);
  };
}

void CQuillGateDlg::DoDataExchange() {
  DDX_Control(m_hWnd, IDC_COMMAND, m_command);
}

BOOL CQuillGateDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // The most recent command, read while the dialog is fitted and coloured, is in the first
  // paint; the rest of the history is loaded once the dialog has shown (see OnIdle).
  m_loader.Begin(m_hWnd);

  m_scaling.Apply(m_hWnd, win32::WindowDpi(m_hWnd));
  // Before the window shows, so that a dark launcher's first frame is dark already.
  FollowSystemLook();

  HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
  AppendMenuW(systemMenu, MF_STRING, IDM_ABOUT, ResourceText(IDS_ABOUT_MENU).c_str());

  DescribeBoxOnRequest(m_command.m_hWnd);
  m_command.m_find = [this](const std::wstring& typed, std::wstring& item) {
    return m_history.Find(typed, item);
  };
  m_suggestions.Attach(m_hWnd, wm::kFolderRead);
  m_apps.Attach(m_hWnd, wm::kAppsRead);
  m_core.UseApps(&m_apps.Apps());
  m_command.m_onTyped = [this](const std::wstring& typed) {
    m_loader.Typed();
    m_history.Typed(typed);
    m_apps.Typed(typed);  // before the folders' list, which shows only while no other does
    m_suggestions.Typed(typed);
  };
  m_loader.ShowLastCommand();

  // Ready to be typed into at once, wherever the launcher was started from.
  m_command.SetFocus();
  SetForegroundWindow(m_hWnd);
  // Only then, and before the first paint: the focus sends the box many messages, and under Wine
  // each one a subclass sees costs a round trip to its server.
  if (const auto subclass = win32::comctl32::SetWindowSubclass())
    subclass(m_command.m_hWnd, BoxProcedure, 0, reinterpret_cast<DWORD_PTR>(m_hWnd));
  return FALSE;
}

bool CQuillGateDlg::OnIdle() {
  if (!m_idled) {
    m_idled = true;
    // Holds Win+R while the launcher runs; nothing acts on it, and a launcher that finds it
    // taken by another one works all the same. Taken once the window shows, as nothing before
    // needs it: under Wine it costs the start a few milliseconds.
    RegisterHotKey(nullptr, 1, MOD_WIN | MOD_NOREPEAT, 'R');
    m_apps.Begin();  // never before the first paint
  }
  // In this loop, not a message box's, once the apps came: a launch that waited for them.
  if (m_heldLaunch && m_apps.Known()) Launch(*std::exchange(m_heldLaunch, std::nullopt));
  // Once the dialog is drawn and nothing waits: the rest of the history.
  m_loader.LoadRest();
  return false;
}

void CQuillGateDlg::OnLinesLoaded(bool readable) {
  if (!readable) m_core.ReportUnreadableHistory();
  m_history.Create(m_hWnd);
  m_apps.HistoryLoaded();
  // Typed before the lines, shown as typed: completed now, as if typed now.
  if (m_loader.TypedBeforeLines()) m_command.OnEditUpdate();
  // What came meanwhile, as it came; it may end the dialog.
  m_deferred.Replay([this](MSG& msg) { RouteMessage(msg); }, [this] { return Ending(); });
}

bool CQuillGateDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_loader.OnMessage(message, wParam, lParam)) return true;
  switch (message) {
    case wm::kAppsRead:  // whichever loop had it: a message box's has one too
      m_apps.Collect();
      return true;
    case wm::kSwapDropDown:
      m_command.SendMessage(CB_SHOWDROPDOWN, FALSE);
      if (!m_history.IsOpen()) m_history.Open();
      return true;
    case WM_DROPFILES:
      m_suggestions.Hide();
      m_apps.Hide();
      AppendDroppedFiles(m_command, reinterpret_cast<HDROP>(wParam));
      return true;
    case WM_DESTROY:
      // Whatever the end still waits for (the history, a message), another launcher may take it.
      UnregisterHotKey(nullptr, 1);
      return false;
    case WM_ACTIVATE:
    case WM_MOVE:
      m_history.Close();
      return false;  // the dialog manager still keeps track of the focus
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETHIGHCONTRAST ||
          (lParam &&
           std::wcscmp(reinterpret_cast<const wchar_t*>(lParam), L"ImmersiveColorSet") == 0))
        FollowSystemLook();
      return false;
    case WM_SYSCOLORCHANGE:
      FollowSystemLook();
      return false;
    case WM_NOTIFY: {
      const auto& draw = *reinterpret_cast<const NMCUSTOMDRAW*>(lParam);
      LRESULT result = 0;
      if (draw.hdr.code != NM_CUSTOMDRAW || !DrawButton(draw, result)) return false;
      SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
      return true;
    }
    default:
      return false;
  }
}

void CQuillGateDlg::FollowSystemLook() {
  if (!TakeSystemLook(m_hWnd, m_command.m_hWnd)) return;
  // Open lists were drawn in the old colours; the next opening shows the new ones.
  m_history.Close();
  m_suggestions.Hide();
  m_apps.Hide();
}

void CQuillGateDlg::OnDpiChanged(UINT dpi) {
  // Open lists were laid out for the old scale; the next opening shows them anew.
  m_history.Close();
  m_suggestions.Hide();
  m_apps.Hide();
  m_scaling.Apply(m_hWnd, dpi);
}

BOOL CQuillGateDlg::PreTranslateMessage(MSG* msg) {
  const bool forBox = msg->hwnd == m_command.m_hWnd || IsChild(m_command.m_hWnd, msg->hwnd);
  // Input that needs the whole history waits for it, and what comes after it waits too.
  if (!m_box.Loaded() && m_deferred.Hold(*msg, forBox)) return TRUE;
  if (m_suggestions.PreTranslateMessage(*msg, forBox)) return TRUE;
  if (m_apps.PreTranslateMessage(*msg, forBox)) return TRUE;
  if (m_history.OnInput(*msg, forBox)) return TRUE;
  return CDialog::PreTranslateMessage(msg);
}

bool CQuillGateDlg::RunCommand(bool elevated) {
  // The shell's own messages are modal to the launcher, so nothing else starts meanwhile.
  m_accepted = m_core.Launch(m_box, elevated, reinterpret_cast<std::uintptr_t>(m_hWnd));
  return m_accepted.has_value();
}

void CQuillGateDlg::RecordAccepted() {
  // Windows replaces no file that is mapped, nor one a forget is rewriting; a forget's outcome
  // not yet told is told now.
  m_loader.Release();
  if (!m_accepted) return;
  const ULONGLONG until = GetTickCount64() + HistoryLoader::kPatienceMs;
  RewriteOutcome outcome = m_core.Record(*m_accepted);
  while (outcome.kind == RewriteOutcome::Kind::Failed && outcome.transient &&
         GetTickCount64() < until) {
    Sleep(kRecordRetryMs);
    outcome = m_core.Record(*m_accepted);
  }
  if (outcome.kind == RewriteOutcome::Kind::Failed) m_core.ReportUnrecorded(*m_accepted, outcome);
}

void CQuillGateDlg::OnOK() {
  // Asked for at this moment, so Ctrl held while clicking OK elevates too.
  const bool elevated = GetKeyState(VK_LCONTROL) < 0 || GetKeyState(VK_RCONTROL) < 0;
  // Typed ahead of the apps, an app's exact name would go to the shell as a command: the launch
  // waits for the first list of them, the cache's as a rule, a few milliseconds.
  if (!m_apps.Known() && IsAppQuery(TrimCommand(m_box.GetText()))) {
    m_heldLaunch = elevated;
    m_apps.Begin();
    return;
  }
  Launch(elevated);
}

void CQuillGateDlg::Launch(bool elevated) {
  // A command the shell refused keeps the dialog open; the shell has told the user why. Its
  // message took the focus: the box gets it back, ready for the correction.
  if (RunCommand(elevated)) {
    EndDialog(IDCANCEL);
  } else {
    if (m_box.Loaded()) m_history.Recount();  // it may hold one line more
    m_command.SetFocus();
    SetForegroundWindow(m_hWnd);
  }
}

bool CQuillGateDlg::OnControlCommand(UINT id, UINT code) {
  if (id == IDC_COMMAND && code == CBN_DROPDOWN) {
    // The combo box's own list stays empty: whatever dropped it, the history's list opens.
    m_suggestions.Hide();
    m_apps.Hide();
    PostMessageW(m_hWnd, wm::kSwapDropDown, 0, 0);
    return true;
  }
  if (id == IDC_BROWSE && code == BN_CLICKED) {
    AppendBrowsedPath(m_command, m_hWnd);
    return true;
  }
  return false;
}

void CQuillGateDlg::OnSysCommand(UINT id, LPARAM) {
  // The system keeps the low four bits of a system command for itself.
  if ((id & 0xFFF0) == IDM_ABOUT) {
    AfxMessageBox(ResourceText(IDS_ABOUT_TEXT));
  } else {
    Default();
  }
}

}  // namespace quillgate
