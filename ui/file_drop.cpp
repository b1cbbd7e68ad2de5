#include "ui/file_drop.h"

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

}  // namespace quillgate
