// What the launcher's dialog needs at each scale beyond what the dialog manager does with its
// template: the icons, picked from the icon file at the sizes the scale asks for rather than one
// image stretched, and texts that show whole in whatever face the system draws the dialog's
// font in.
#pragma once

#include <windows.h>

#include "platform/win32_dpi.h"

namespace quillgate {

class LauncherScaling {
 public:
  // For the launcher's `dialog` shown at `dpi` (0: the system's scale): once it is created, and
  // again once it has been re-laid out at a new scale.
  void Apply(HWND dialog, UINT dpi);

 private:
  // Shown by the dialog, so destroyed only after it has taken their successors.
  win32::Icon m_captionIcon;
  win32::Icon m_dialogIcon;
};

}  // namespace quillgate
