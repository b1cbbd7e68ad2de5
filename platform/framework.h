// The thin window framework the launcher is built on: objects bound to windows, a modal dialog
// with its own message loop, notification reflection and the application object. Plain Win32
// underneath, the wide (UTF-16) API throughout, so any text the user types or picks survives.
#pragma once

#include <windows.h>

#include <string>

namespace quillgate {

// An object bound to a window, so the modal loop can offer it messages and its parent can
// reflect notifications back to it. Holds no ownership of the window. Unlike MFC's there is no
// handle map: the binding is a property of the window itself.
class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd() { Detach(); }

  // Binds this object to `hwnd` (what the data exchange does for a dialog's controls).
  void Attach(HWND hwnd);
  void Detach();
  // The object bound to `hwnd`, or null for a window nobody bound.
  static CWnd* FromHandlePermanent(HWND hwnd);

  // Sees a message before it is dispatched; nonzero consumes it.
  virtual BOOL PreTranslateMessage(MSG* /*msg*/) { return FALSE; }
  // A notification this window sent its parent, offered back to it first; true: handled.
  virtual bool OnChildNotify(UINT /*code*/) { return false; }

  std::wstring GetWindowText() const;
  void SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
  HWND SetFocus() { return ::SetFocus(m_hWnd); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }

  HWND m_hWnd = nullptr;
};

// The combo-box messages the program sends, one message per method.
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
void DDX_Control(HWND dialog, int id, CWnd& control);

// A modal dialog from a template. The dialog object is reached from its window through the
// one dialog procedure below, which stores `this` at WM_INITDIALOG.
class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr)
      : m_templateId(templateId), m_pParent(parent) {}

  // Creates the dialog, runs the framework's own modal loop until EndDialog, returns its result.
  INT_PTR DoModal();
  // Ends the modal loop and destroys the window at once: hiding it first would make Wine wait
  // for the window's withdrawal, seconds on a display without a window manager.
  void EndDialog(int result);

  // The dialog manager gets the keys it handles (Tab, Enter, Esc) after the controls.
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  virtual void DoDataExchange() {}
  // The base binds the controls; returns TRUE so the dialog manager sets the focus.
  virtual BOOL OnInitDialog();
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A WM_COMMAND that neither the sending control nor IDOK/IDCANCEL took.
  virtual bool OnControlCommand(UINT /*id*/, UINT /*code*/) { return false; }
  virtual void OnSysCommand(UINT /*id*/, LPARAM /*lParam*/) { Default(); }
  // Called by the modal loop whenever no message is waiting, for work that may wait for the
  // user: do a short piece of it and return true to be called again while the queue stays
  // empty, false when nothing is left (until the next message).
  virtual bool OnIdle() { return false; }
  // The dialog is now shown at `dpi` dots per inch (moved to a monitor of another scale); called
  // once the dialog manager has re-laid it out at that scale. (The framework posts itself WM_APP
  // for it.)
  virtual void OnDpiChanged(UINT /*dpi*/) {}
  // Any message of the dialog's own window that none of the above takes (WM_ACTIVATE, a message
  // of its own); true: handled, the dialog manager does nothing more with it.
  virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return false;
  }
  // Hands `msg` on as the modal loop does: to PreTranslateMessage of the window it is for and of
  // every parent that has an object up to the dialog (parents, never owners, unlike MFC's walk),
  // then, unless one consumed it, translated and dispatched.
  void RouteMessage(MSG& msg);
  // True once EndDialog was called: no input may act any more.
  bool Ending() const { return !m_inModalLoop; }
  // Hands the message being handled on to the default processing: not a call to a previous
  // window procedure, as in MFC, but a flag telling the dialog procedure to return FALSE.
  void Default() { m_passToDefault = true; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCommand(WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  CWnd* m_pParent;
  bool m_inModalLoop = false;
  bool m_passToDefault = false;
  INT_PTR m_result = -1;
};

// The one application object. Its constructor registers it; the entry point runs it.
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

// The framework's entry point: runs the application object's InitInstance. There is no
// application loop, whatever InitInstance returns: the process ends with it.
int AfxWinMain(HINSTANCE instance);
HINSTANCE AfxGetInstanceHandle();
// A modal message box owned by the main window, captioned with the application's name. The third
// parameter, MFC's help context, is taken and ignored: there is no help file.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK, UINT = 0);

}  // namespace quillgate
