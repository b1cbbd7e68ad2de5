// The launcher's look over the real system: what the settings say, and the calls of core's
// ApplyLook made on the dialog.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "core/appearance.h"

namespace quillgate {

// High contrast, else the app mode (one small read of HKCU).
Look ReadSystemLook();
std::uint32_t WindowsBuild();

// The dialog's answer to a WM_CTLCOLOR* in the current look; null in the system's colours, which
// the dialog manager gives as it always has.
HBRUSH ColourControl(HDC dc, UINT message);
// A push button drawn in the dark look (its NM_CUSTOMDRAW); false: the button draws itself.
bool DrawButton(const NMCUSTOMDRAW& draw, LRESULT& result);

// The command box's frame and drop button over what the box drew, in the dark look: where the
// system has no dark class for it (before 1903, Wine) it would stay light.
void DrawBoxFrame(HWND box);

class WindowLook final : public IWindowLook {
 public:
  WindowLook(HWND dialog, HWND box) : dialog_(dialog), box_(box) {}
  void SetTitleBarDark(int attribute, bool dark) override;
  void SetControlTheme(ThemedControl control, const char* themeClass) override;
  void UsePalette(Look look) override;

 private:
  HWND dialog_;
  HWND box_;
};

}  // namespace quillgate
