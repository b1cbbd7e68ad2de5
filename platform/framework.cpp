#include "platform/framework.h"
#include "platform/window_messages.h"

#include "res/resource.h"

namespace quillgate {

namespace {

constexpr wchar_t kObjectProperty[] = L"QuillGate.Object";

BOOL CALLBACK DetachObject(HWND hwnd, LPARAM) {
  if (CWnd* object = CWnd::FromHandlePermanent(hwnd)) object->Detach();
  return TRUE;
}

}  // namespace

void CWnd::Attach(HWND hwnd) {
  Detach();
  m_hWnd = hwnd;
  if (hwnd) SetPropW(hwnd, kObjectProperty, static_cast<HANDLE>(this));
}

void CWnd::Detach() {
  if (m_hWnd && GetPropW(m_hWnd, kObjectProperty) == static_cast<HANDLE>(this)) {
    RemovePropW(m_hWnd, kObjectProperty);
  }
  m_hWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  return hwnd ? static_cast<CWnd*>(GetPropW(hwnd, kObjectProperty)) : nullptr;
}

INT_PTR CDialog::DoModal() {
  // Set before creation: an EndDialog from OnInitDialog must end the dialog at once.
  m_inModalLoop = true;
  m_result = -1;
  HWND hwnd = CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_templateId), nullptr,
                                 DialogProc, reinterpret_cast<LPARAM>(this));
  if (!hwnd) {  // not made, or ended already while it was being made
    m_inModalLoop = false;
    return m_result;
  }
  // A template without WS_VISIBLE is shown all the same, as a modal dialog must be.
  if (m_inModalLoop && !IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);

  // The framework's own loop, so each message goes through RouteMessage.
  MSG msg;
  bool idle = true;
  while (m_inModalLoop) {
    // Only while nothing waits, paint included: the dialog is drawn first, and input waits for
    // one short piece of idle work at most.
    if (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      idle = OnIdle();
      continue;
    }
    idle = true;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave WM_QUIT for an outer loop
      break;
    }
    if (got == -1) break;
    RouteMessage(msg);
  }

  if (m_hWnd) DestroyWindow(m_hWnd);
  return m_result;
}

void CDialog::RouteMessage(MSG& msg) {
  bool consumed = false;
  for (HWND target = msg.hwnd; target && !consumed; target = GetParent(target)) {
    if (CWnd* object = FromHandlePermanent(target)) {
      consumed = object->PreTranslateMessage(&msg) != FALSE;
    }
    if (target == m_hWnd) break;
  }
  if (!consumed) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void CDialog::EndDialog(int result) {
  m_result = result;
  m_inModalLoop = false;
  if (m_hWnd) DestroyWindow(m_hWnd);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
  return IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->Attach(hwnd);
  } else {
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  if (message == WM_DESTROY) {
    // Unbound as they die with the dialog, so that a later DoModal binds the controls again.
    EnumChildWindows(hwnd, DetachObject, 0);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->Detach();
    self->m_inModalLoop = false;  // destroyed from elsewhere: the modal loop has nothing left
    return FALSE;
  }
  return self->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(wParam, lParam) ? TRUE : FALSE;
    case WM_SYSCOMMAND:
      m_passToDefault = false;
      OnSysCommand(static_cast<UINT>(wParam), lParam);
      return m_passToDefault ? FALSE : TRUE;
    case WM_DPICHANGED:
      // FALSE: the dialog manager re-lays it out (per-monitor v2, 10 1703+), only once it returns.
      PostMessageW(m_hWnd, wm::kDpiChanged, HIWORD(wParam), 0);
      return FALSE;
    case wm::kDpiChanged:
      OnDpiChanged(static_cast<UINT>(wParam));
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      // A dialog procedure answers these with the brush itself, not TRUE.
      return reinterpret_cast<INT_PTR>(
          OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
    default:
      return OnMessage(message, wParam, lParam) ? TRUE : FALSE;
  }
}

bool CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  // Reflection: a control that has an object handles its own notifications.
  if (control) {
    CWnd* object = FromHandlePermanent(control);
    if (object && object != this && object->OnChildNotify(code)) return true;
  }
  if (code == BN_CLICKED && (id == IDOK || id == IDCANCEL)) {
    if (id == IDOK)
      OnOK();
    else
      OnCancel();
    return true;
  }
  return OnControlCommand(id, code);
}

int AfxWinMain(HINSTANCE instance) {
  CWinApp* app = CWinApp::Current();
  if (!app) return 1;
  app->m_hInstance = instance;
  app->InitInstance();
  return 0;
}

HINSTANCE AfxGetInstanceHandle() {
  CWinApp* app = CWinApp::Current();
  return app && app->m_hInstance ? app->m_hInstance : GetModuleHandleA(nullptr);
}

int AfxMessageBox(const std::wstring& text, UINT type) {
  CWinApp* app = CWinApp::Current();
  HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
  wchar_t title[256] = {};
  LoadStringW(AfxGetInstanceHandle(), AFX_IDS_APP_TITLE, title, 256);
  return MessageBoxW(owner, text.c_str(), title, type);
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::wstring ResourceText(UINT id) {
  // With no buffer, LoadString hands out the text in place: it is not terminated there.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(AfxGetInstanceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

}  // namespace quillgate
