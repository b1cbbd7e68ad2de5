#include "ui/file_drop.h"

#include <shobjidl.h>

#include <exception>
#include <string>
#include <vector>

#include "core/path_input.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"

namespace quillgate {

void AppendDroppedFiles(CComboBox& box, HDROP drop) noexcept {
  const win32::DropHandle holder(drop);
  const auto query = win32::shell32::DragQueryFileW();
  if (!query) return;
  try {
    std::vector<std::string> paths;
    const UINT count = query(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      std::wstring path(query(drop, i, nullptr, 0) + 1, L'\0');
      path.resize(query(drop, i, path.data(), static_cast<UINT>(path.size())));
      paths.push_back(win32::Narrow(path));
    }
    const std::wstring text =
        win32::Widen(AppendDropped(win32::Narrow(box.GetWindowText()), paths));
    box.SetWindowText(text);
    box.SetEditSel(static_cast<int>(text.size()), static_cast<int>(text.size()));
  } catch (const std::exception&) {
    // Out of memory on the way: the box keeps its text.
  }
  // Behind a message or the file dialog the launcher is disabled, and they keep the focus.
  HWND dialog = GetAncestor(box.m_hWnd, GA_ROOT);
  if (!IsWindowEnabled(dialog)) return;
  box.SetFocus();
  SetForegroundWindow(dialog);
}

namespace {

void Browse(CWnd& box, HWND owner) {
  win32::ComApartment com;
  if (!com.Ok()) return;
  win32::ComPtr<IFileOpenDialog> dialog;
  if (!win32::CreateInstance(CLSID_FileOpenDialog, CLSCTX_ALL, IID_IFileOpenDialog, dialog)) return;
  if (FAILED(dialog->Show(owner))) return;  // cancelled
  win32::ComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(item.Out()))) return;
  win32::TaskMemory<wchar_t> path;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Out()))) return;

  // The path as the shell spelled it, whatever the code page could have spelled. The box opens
  // holding the last command: glued onto it, the path would make a name no shell opens. Read
  // only now: a file dropped while the dialog was open went into the box meanwhile.
  const std::string text = win32::Narrow(box.GetWindowText());
  box.SetWindowText(win32::Widen(AppendDropped(text, {win32::Narrow(path.Get())})));
  // The holders end in reverse order: the path, the item, the dialog, then COM.
}

}  // namespace

void AppendBrowsedPath(CWnd& box, HWND owner) noexcept {
  try {
    Browse(box, owner);
  } catch (const std::exception&) {
    // Out of memory on the way: the box keeps its text and the launcher keeps running.
  }
}

}  // namespace quillgate
