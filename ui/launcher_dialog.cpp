#include "ui/launcher_dialog.h"

#include <commctrl.h>

#include <atomic>
#include <thread>
#include <utility>

#include "resource.h"
#include "platform/win32_text.h"
#include "ui/browse.h"
#include "ui/file_drop.h"
#include "version.h"

namespace quillgate {

namespace {

// Posted by the loading thread once the lines are ready.
constexpr UINT kLinesLoaded = WM_APP + 1;
// Posted when the combo box's own list dropped (something sent it CB_SHOWDROPDOWN): it is
// closed again and the history's list opened in its place.
constexpr UINT kSwapDropDown = WM_APP + 2;
// Set on the dialog once the lines have begun to load.
constexpr wchar_t kLoadingProperty[] = L"QuillGate.Loading";
// Posted by a folder read for the suggestions when it ends.
constexpr UINT kFolderReadMessage = WM_APP + 3;
// Posted by the loading thread with each piece of the history it copied out of the file's view;
// the PieceCopy is the dialog's from then on.
constexpr UINT kPieceCopied = WM_APP + 4;

struct PieceCopy {
  std::shared_ptr<FileViews> from;
  std::size_t piece = 0;
  std::unique_ptr<char[]> copy;
};

// The lines are searched in the history file's own views as soon as they are split, and those
// views are let go piece by piece as copies take their place: a view kept would hold the file
// against other launchers' rewrites. A piece is copied once the one two before it was taken over,
// so that no more than two are ever in memory twice.
void CopyPieces(const std::shared_ptr<FileViews>& mapped, HWND dialog) {
  for (std::size_t piece = 0; piece < mapped->Pieces(); ++piece) {
    while (mapped->Unmapped() + 1 < piece) {
      if (!IsWindow(dialog)) return;
      Sleep(1);
    }
    auto copied = std::make_unique<PieceCopy>();
    copied->from = mapped;
    copied->piece = piece;
    copied->copy = mapped->CopyPiece(piece);
    if (!PostMessageW(dialog, kPieceCopied, 0, reinterpret_cast<LPARAM>(copied.get()))) return;
    copied.release();
  }
}

// Input that completion, the drop-down or moving through the list answers, when it is for the
// command box. Enter, Esc and Tab leave the box, and the modifiers alone do nothing: those
// never wait for the history, so a launch is immediate with a history of any size.
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

bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

}  // namespace

struct CQuillGateDlg::Loading {
  // Its own file services: the dialog's may be gone when the thread ends.
  win32::FileSystem files;
  std::filesystem::path path;
  HistoryLines lines;
  ReadResult result = ReadResult::Failed;
  std::atomic<bool> done{false};
};

CQuillGateDlg::CQuillGateDlg()
    : CDialog(IDD_LAUNCHER_DIALOG),
      m_list([this](std::size_t index) { return m_box.Item(index); },
             [this](int index) {
               ShowLine(index);
               m_list.Close();
             }) {}

void CQuillGateDlg::LoadHistory() {
  if (!m_core.LoadLastCommand(m_box)) {
    m_box.TakeLines({});  // reported; the list stays empty, and the history is never rewritten
    return;               // from it
  }
  m_loading = std::make_shared<Loading>();
  try {
    m_loading->path = m_core.ResolveDataPath(DataFile::History);
  } catch (const std::exception&) {
    m_loading.reset();
    m_box.TakeLines({});
    m_core.ReportUnreadableHistory();
  }
}

void CQuillGateDlg::DoDataExchange() {
  DDX_Control(m_hWnd, IDC_COMMAND, m_command);
}

BOOL CQuillGateDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  m_scaling.Apply(m_hWnd, win32::WindowDpi(m_hWnd));

  HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
  AppendMenuW(systemMenu, MF_STRING, IDM_ABOUT, L"&About...");

  m_command.m_find = [this](const std::wstring& typed, std::wstring& item) {
    m_current = m_box.FindPrefix(typed);
    if (m_current >= 0) item = m_box.Item(static_cast<std::size_t>(m_current));
    return m_current >= 0;
  };
  LoadHistory();
  m_suggestions.Attach(m_hWnd, kFolderReadMessage);
  m_command.m_onTyped = [this](const std::wstring& typed) { m_suggestions.Typed(typed); };

  // Ready to be typed into at once, wherever the launcher was started from.
  m_command.SetFocus();
  SetForegroundWindow(m_hWnd);
  return FALSE;
}

bool CQuillGateDlg::OnIdle() {
  if (!m_idled) {
    m_idled = true;
    // Holds Win+R while the launcher runs; nothing acts on it, and a launcher that finds it
    // taken by another one works all the same. Taken once the window shows, as nothing before
    // needs it: under Wine it costs the start a few milliseconds.
    RegisterHotKey(nullptr, 1, MOD_WIN | MOD_NOREPEAT, 'R');
  }
  // Once the dialog is drawn and nothing waits: the rest of the history, on a thread of its own
  // that nobody waits for, so that a launch or a cancel ends the process at once.
  if (m_loading && !m_loadStarted) {
    m_loadStarted = true;
    HWND dialog = m_hWnd;
    // For whoever watches from outside: input from here on may come after the lines.
    SetPropW(dialog, kLoadingProperty, reinterpret_cast<HANDLE>(1));
    try {
      std::thread([loading = m_loading, dialog] {
        loading->result = LoadLines(loading->files, loading->path, loading->lines);
        // The lines are the dialog's once they are done: the views are reached from here on.
        const std::shared_ptr<FileViews> mapped = loading->lines.Views();
        loading->done.store(true, std::memory_order_release);
        PostMessageW(dialog, kLinesLoaded, 0, 0);
        if (mapped) CopyPieces(mapped, dialog);
      }).detach();
    } catch (const std::exception&) {
      // No thread to be had: loaded and copied here instead.
      m_loading->result = LoadLines(m_loading->files, m_loading->path, m_loading->lines);
      m_loading->lines.DetachFromFile();
      m_loading->done.store(true, std::memory_order_release);
      OnLinesLoaded();
    }
  }
  return false;
}

void CQuillGateDlg::OnLinesLoaded() {
  if (!m_loading || !m_loading->done.load(std::memory_order_acquire)) return;
  const std::shared_ptr<Loading> loading = std::move(m_loading);
  if (loading->result == ReadResult::Failed) m_core.ReportUnreadableHistory();
  m_box.TakeLines(std::move(loading->lines));
  HFONT font = reinterpret_cast<HFONT>(m_command.SendMessage(WM_GETFONT));
  m_list.Create(m_hWnd, font);
  m_list.SetCount(m_box.Lines().Count());
  // What came meanwhile, in order, as it came: with the keys held then (Shift makes a capital,
  // Ctrl+Enter elevates), the characters each key makes before the keys that followed it. It
  // may end the dialog.
  std::vector<Waiting> waiting = std::move(m_waiting);
  m_waiting.clear();
  // Keys and characters still queued came after what was held, so they go after it too; left
  // in the queue, they would be taken below for the characters a held key makes.
  MSG queued;
  while (!waiting.empty() && PeekMessageW(&queued, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    waiting.emplace_back();
    waiting.back().msg = queued;
    GetKeyboardState(waiting.back().keys);
  }
  BYTE now[256];
  GetKeyboardState(now);
  for (Waiting& each : waiting) {
    if (Ending()) break;
    SetKeyboardState(each.keys);
    RouteMessage(each.msg);
    MSG typed;
    while (!Ending() &&
           (PeekMessageW(&typed, each.msg.hwnd, WM_CHAR, WM_DEADCHAR, PM_REMOVE) ||
            PeekMessageW(&typed, each.msg.hwnd, WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE))) {
      RouteMessage(typed);
    }
  }
  SetKeyboardState(now);
}

bool CQuillGateDlg::OnOtherMessage(UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case kLinesLoaded:
      OnLinesLoaded();
      return true;
    case kPieceCopied: {
      const std::unique_ptr<PieceCopy> copied(reinterpret_cast<PieceCopy*>(lParam));
      m_box.Lines().PutCopyInPlace(copied->from.get(), copied->piece, std::move(copied->copy));
      return true;
    }
    case kSwapDropDown:
      m_command.SendMessage(CB_SHOWDROPDOWN, FALSE);
      if (!m_list.IsOpen()) OpenList();
      return true;
    case WM_DESTROY:
      RemovePropW(m_hWnd, kLoadingProperty);
      return false;
    case WM_ACTIVATE:
    case WM_MOVE:
      m_list.Close();
      return false;  // the dialog manager still keeps track of the focus
    default:
      return false;
  }
}

void CQuillGateDlg::OnDpiChanged(UINT dpi) {
  // Both lists were laid out for the old scale; the next key shows them anew.
  m_list.Close();
  m_suggestions.Hide();
  m_scaling.Apply(m_hWnd, dpi);
}

BOOL CQuillGateDlg::PreTranslateMessage(MSG* msg) {
  const bool forBox = msg->hwnd == m_command.m_hWnd || IsChild(m_command.m_hWnd, msg->hwnd);
  // Files dropped on the dialog or the box (both accept them); the drop is posted.
  if (msg->message == WM_DROPFILES && (forBox || msg->hwnd == m_hWnd)) {
    m_suggestions.Hide();
    AppendDroppedFiles(m_command, reinterpret_cast<HDROP>(msg->wParam));
    return TRUE;
  }
  if (!IsInput(msg->message)) {
    // A folder read for the suggestions has ended.
    if (m_suggestions.PreTranslateMessage(*msg, forBox)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
  }
  // Input that needs the whole history waits for it, and everything after it waits too, so
  // that all of it acts in the order it came.
  if (!m_box.Loaded() && (!m_waiting.empty() || (forBox && ActsOnList(*msg)))) {
    m_waiting.emplace_back();
    m_waiting.back().msg = *msg;
    GetKeyboardState(m_waiting.back().keys);
    return TRUE;
  }
  if (m_suggestions.PreTranslateMessage(*msg, forBox)) return TRUE;
  if (OnListInput(*msg, forBox)) return TRUE;
  return CDialog::PreTranslateMessage(msg);
}

bool CQuillGateDlg::OnListInput(const MSG& msg, bool forBox) {
  const bool open = m_list.IsOpen();
  const bool inList = m_list.m_hWnd && (msg.hwnd == m_list.m_hWnd || msg.hwnd == m_list.ListBox());
  // The combo box's drop button is the combo box itself; its edit field covers the rest.
  if ((msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) &&
      msg.hwnd == m_command.m_hWnd) {
    open ? m_list.Close() : OpenList();
    return true;
  }
  if (open && !inList &&
      (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
       msg.message == WM_MBUTTONDOWN)) {
    m_list.Close();  // a click elsewhere closes the list and goes on
    return false;
  }
  if (!forBox) return false;
  if (open && msg.message == WM_MOUSEWHEEL) {
    ::SendMessageW(m_list.ListBox(), msg.message, msg.wParam, msg.lParam);
    return true;
  }
  const bool keyDown = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  if (!keyDown) return false;
  // A key with Alt held comes as WM_SYSKEYDOWN (for F10 as well, which does nothing here).
  const bool alt = msg.message == WM_SYSKEYDOWN || GetKeyState(VK_MENU) < 0;
  switch (msg.wParam) {
    case VK_F4:
      open ? m_list.Close() : OpenList();
      return true;
    case VK_DOWN:
    case VK_UP:
      if (alt) {
        open ? m_list.Close() : OpenList();
      } else {
        // Open or closed, the next or the previous line; from nothing shown, the first.
        const int step = msg.wParam == VK_DOWN ? 1 : -1;
        ShowLine(m_current < 0 ? 0 : m_current + step);
      }
      return true;
    case VK_PRIOR:
    case VK_NEXT:
      if (!open) return false;
      ShowLine(m_current + (msg.wParam == VK_NEXT ? 1 : -1) * (m_list.PageSize() - 1));
      return true;
    case VK_ESCAPE:
      if (!open) return false;
      m_list.Close();
      return true;
    case VK_RETURN:
    case VK_TAB:
      m_list.Close();
      return false;
    case VK_DELETE:
      // Shift+Delete forgets the entry highlighted in the open list; with the list closed it is
      // the edit field's own (cut).
      return open && GetKeyState(VK_SHIFT) < 0 && OnForget();
    default:
      return false;
  }
}

void CQuillGateDlg::OpenList() {
  const std::size_t count = m_box.Lines().Count();
  if (!m_box.Loaded() || count == 0) return;
  m_suggestions.Hide();  // one list at a time below the box
  // As a combo box opens: on the first line that begins with the field's text.
  const std::wstring text = m_command.GetWindowText();
  m_current = text.empty() ? -1 : m_box.FindPrefix(text);
  if (m_current >= 0) m_command.ShowItem(m_box.Item(static_cast<std::size_t>(m_current)));
  const auto rows = static_cast<int>(m_command.SendMessage(CB_GETMINVISIBLE));
  const auto height = static_cast<int>(m_command.SendMessage(CB_GETITEMHEIGHT, 0));
  m_list.Open(m_command.m_hWnd, count, m_current, rows > 0 ? rows : 30, height);
}

void CQuillGateDlg::ShowLine(int index) {
  const auto count = static_cast<int>(m_box.Lines().Count());
  if (count == 0) return;
  m_current = index < 0 ? 0 : index >= count ? count - 1 : index;
  m_list.Select(m_current);
  m_command.ShowItem(m_box.Item(static_cast<std::size_t>(m_current)));
}

bool CQuillGateDlg::OnForget() {
  const int index = m_list.Selected();
  if (index < 0) return false;
  const auto at = static_cast<std::size_t>(index);
  // Windows replaces no file that is mapped: the pieces still seen in place are copied first.
  m_box.Lines().DetachFromFile();
  // The entry stays unless its lines left the history; the user has heard why.
  const RewriteOutcome outcome = m_core.Forget(std::string(m_box.Lines().Line(at)));
  m_core.ReportForget(outcome);
  if (outcome.kind != RewriteOutcome::Kind::Done) return true;
  m_box.Lines().Erase(at);
  const auto count = static_cast<int>(m_box.Lines().Count());
  m_list.SetCount(static_cast<std::size_t>(count));
  if (count > 0) {
    ShowLine(index < count ? index : count - 1);  // the list stays on its neighbour
  } else {
    m_current = -1;
    m_command.ShowItem(L"");
    m_list.Close();
  }
  return true;
}

void CQuillGateDlg::LetGoOfHistory() {
  // Windows replaces no file that is mapped, so a load under way is waited for (a local file's
  // lines take a moment; a share's are read, never mapped, so the wait is bounded for them).
  // The window is gone already.
  if (m_loading && m_loadStarted) {
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (!m_loading->done.load(std::memory_order_acquire) && GetTickCount64() < deadline) {
      Sleep(1);
    }
    if (m_loading->done.load(std::memory_order_acquire)) m_loading->lines.Clear();
  }
  m_box.Lines().Clear();
}

void CQuillGateDlg::OnOK() {
  // Asked for at this moment, so Ctrl held while clicking OK elevates too.
  const bool elevated = GetKeyState(VK_LCONTROL) < 0 || GetKeyState(VK_RCONTROL) < 0;
  // A command the shell refused keeps the dialog open; the shell has told the user why. Its
  // message took the focus: the box gets it back, ready for the correction.
  if (RunCommand(elevated)) {
    EndDialog(IDCANCEL);
  } else {
    if (m_box.Loaded()) m_list.SetCount(m_box.Lines().Count());  // it may hold one line more
    m_command.SetFocus();
    SetForegroundWindow(m_hWnd);
  }
}

bool CQuillGateDlg::OnControlCommand(UINT id, UINT code) {
  switch (id) {
    case IDC_COMMAND:
      // The combo box's own list stays empty: whatever dropped it, the history's list opens.
      if (code == CBN_DROPDOWN) {
        m_suggestions.Hide();
        PostMessageW(m_hWnd, kSwapDropDown, 0, 0);
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
