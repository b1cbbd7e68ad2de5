// The thin window framework the launcher is built on, over the wide (UTF-16) Win32 API so that
// any text the user types or picks survives.
#pragma once

#include <windows.h>

#include <string>

namespace quillgate {

// The whole text of `window`, any control's, with or without an object of its own.
std::wstring WindowText(HWND window);

// An object bound to a window, not owning it, so the modal loop can offer it messages and its
// parent reflect notifications back. No handle map, unlike MFC: the binding is a window property.
class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd() { Detach(); }

  void Attach(HWND hwnd);
  void Detach();
  static CWnd* FromHandlePermanent(HWND hwnd);  // null for a window nobody bound

  // Sees a message before it is dispatched; nonzero consumes it.
  virtual BOOL PreTranslateMessage(MSG* /*msg*/) { return FALSE; }
  // A notification this window sent its parent, offered back to it first; true: handled.
  virtual bool OnChildNotify(UINT /*code*/) { return false; }

  std::wstring GetWindowText() const { return WindowText(m_hWnd); }
  void SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
  HWND SetFocus() { return ::SetFocus(m_hWnd); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }

  HWND m_hWnd = nullptr;
};

class CComboBox : public CWnd {
 public:
  DWORD GetEditSel() const { return static_cast<DWORD>(SendMessage(CB_GETEDITSEL)); }
  BOOL SetEditSel(int start, int end) {
    return static_cast<BOOL>(SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(start, end)));
  }
  int AddString(const wchar_t* text) {
    return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
  }
};

// Binds the dialog's child `id` to `control` on the first exchange.
inline void DDX_Control(HWND dialog, int id, CWnd& control) {
  if (!control.m_hWnd) control.Attach(GetDlgItem(dialog, id));
}

// A modal dialog from a template; its one dialog procedure stores `this` at WM_INITDIALOG.
class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId) : m_templateId(templateId) {}

  INT_PTR DoModal();
  // Destroys the window at once: hiding it first would make Wine wait for the window's
  // withdrawal, seconds on a display without a window manager.
  void EndDialog(int result);

  // The dialog manager gets the keys it handles (Tab, Enter, Esc) after the controls.
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  virtual void DoDataExchange() {}
  virtual BOOL OnInitDialog();  // binds the controls; TRUE: the dialog manager sets the focus
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A WM_COMMAND that neither the sending control nor IDOK/IDCANCEL took.
  virtual bool OnControlCommand(UINT /*id*/, UINT /*code*/) { return false; }
  virtual void OnSysCommand(UINT /*id*/, LPARAM /*lParam*/) { Default(); }
  // Whenever no message waits, for work that may wait for the user: a short piece of it, true
  // to be called again while the queue stays empty, false when nothing is left.
  virtual bool OnIdle() { return false; }
  // Once re-laid out at `dpi` on a monitor of another scale (the framework posts itself WM_APP).
  virtual void OnDpiChanged(UINT /*dpi*/) {}
  // WM_CTLCOLOR*: the brush behind `control`, whose colours it has set in `dc`; null: the dialog
  // manager's own.
  virtual HBRUSH OnCtlColor(HDC /*dc*/, HWND /*control*/, UINT /*message*/) { return nullptr; }
  // Any other message of the dialog's own window; true: the dialog manager does nothing more.
  virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return false; }
  // As the modal loop does: to PreTranslateMessage of the window and every parent with an object
  // up to the dialog (never owners, unlike MFC), then, unless consumed, translated and dispatched.
  void RouteMessage(MSG& msg);
  // True once EndDialog was called: no input may act any more.
  bool Ending() const { return !m_inModalLoop; }
  // Default processing: not a previous window procedure, as in MFC; DialogProc returns FALSE.
  void Default() { m_passToDefault = true; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCommand(WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  bool m_inModalLoop = false;
  bool m_passToDefault = false;
  INT_PTR m_result = -1;
};

// The one application object: its constructor registers it.
class CWinApp {
 public:
  CWinApp() { s_current = this; }
  virtual ~CWinApp() { s_current = nullptr; }  // there is only one
  virtual BOOL InitInstance() { return FALSE; }

  HINSTANCE m_hInstance = nullptr;
  CWnd* m_pMainWnd = nullptr;

  static CWinApp* Current() { return s_current; }

 private:
  inline static CWinApp* s_current = nullptr;
};

// Runs the application's InitInstance; no application loop follows, whatever it returns.
int AfxWinMain(HINSTANCE instance);
HINSTANCE AfxGetInstanceHandle();
// Text `id` of the executable's string table, in the language Windows picks for the user (the
// user interface's, else English).
std::wstring ResourceText(UINT id);
// Owned by the main window, titled with the app's name.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);

}  // namespace quillgate
