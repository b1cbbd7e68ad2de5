#include "ui/launcher_scaling.h"

#include <string>
#include <utility>

#include "platform/win32_system.h"
#include "resource.h"

namespace quillgate {
namespace {

RECT PlaceInDialog(HWND dialog, HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

// Widens the static text control `id` of `dialog` to reach `right` if its box, wrapping the text
// as the control does, would cut it off.
void WidenToFit(HWND dialog, int id, LONG right) {
  // Looked up, not imported: the program imports kernel32, msvcrt and user32 only (user32 has
  // loaded gdi32 by then).
  static const auto select =
      win32::SystemFunction<decltype(SelectObject)>(L"gdi32.dll", "SelectObject");
  HWND control = GetDlgItem(dialog, id);
  const RECT box = PlaceInDialog(dialog, control);
  const win32::WindowDc dc(GetDC(control));
  if (!select || !dc.Valid() || right <= box.right) return;
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ previous = select(dc.Get(), font);
  RECT needed{0, 0, box.right - box.left, 0};
  DrawTextW(dc.Get(), text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  select(dc.Get(), previous);
  if (needed.right > box.right - box.left || needed.bottom > box.bottom - box.top) {
    SetWindowPos(control, nullptr, 0, 0, right - box.left, box.bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace

void LauncherScaling::Apply(HWND dialog, UINT dpi) {
  // Only the caption's small icon: the large one stays the executable's own. The dialog's icon
  // box, 20x20 units, is the place of a large icon (32 pixels at 100%); the control takes the
  // image's size.
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  win32::Icon caption =
      win32::LoadIconOfSize(instance, IDI_LAUNCHER, win32::SystemMetricForDpi(SM_CXSMICON, dpi));
  // At creation the control has loaded the icon itself at the system's scale; at that scale it
  // is the size wanted, and loading it again would only delay the window.
  const int largeSize = win32::SystemMetricForDpi(SM_CXICON, dpi);
  const bool loaded = !m_dialogIcon.Get() && largeSize == GetSystemMetrics(SM_CXICON);
  win32::Icon large =
      loaded ? win32::Icon() : win32::LoadIconOfSize(instance, IDI_LAUNCHER, largeSize);
  if (caption.Get()) {
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(caption.Get()));
    m_captionIcon = std::move(caption);
  }
  if (large.Get()) {
    SendDlgItemMessageW(dialog, IDC_DIALOG_ICON, STM_SETICON, reinterpret_cast<WPARAM>(large.Get()),
                        0);
    m_dialogIcon = std::move(large);
  }

  // The template's texts fit MS Sans Serif, the face its font names. Where the system draws that
  // font in a wider face (a scale or a language it has no MS Sans Serif for), the two long
  // texts may reach as far right as the command box; nothing lies between.
  const LONG right = PlaceInDialog(dialog, GetDlgItem(dialog, IDC_COMMAND)).right;
  WidenToFit(dialog, IDC_PROMPT, right);
  WidenToFit(dialog, IDC_ELEVATE_HINT, right);
}

}  // namespace quillgate
