#include "ui/launcher_scaling.h"

#include <utility>

#include "resource.h"

namespace quillgate {

void LauncherScaling::Apply(HWND dialog, UINT dpi) {
  // Only the caption's small icon: the large one stays the executable's own. The dialog's icon
  // box, 20x20 units, is the place of a large icon (32 pixels at 100%); the control takes the
  // image's size.
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  win32::Icon caption =
      win32::LoadIconOfSize(instance, IDI_LAUNCHER, win32::SystemMetricForDpi(SM_CXSMICON, dpi));
  win32::Icon large =
      win32::LoadIconOfSize(instance, IDI_LAUNCHER, win32::SystemMetricForDpi(SM_CXICON, dpi));
  if (caption.Get()) {
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(caption.Get()));
    m_captionIcon = std::move(caption);
  }
  if (large.Get()) {
    SendDlgItemMessageW(dialog, IDC_DIALOG_ICON, STM_SETICON, reinterpret_cast<WPARAM>(large.Get()),
                        0);
    m_dialogIcon = std::move(large);
  }
}

}  // namespace quillgate
