// The launcher's look over the real system: what the settings say, and what each look changes in
// the dialog.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/appearance.h"

namespace quillgate {

// Takes the look the system's settings give (high contrast, else the app mode: one small read of
// HKCU) for `dialog` and its command `box`, and repaints them; false when it is the look they
// have, and nothing is done.
bool TakeSystemLook(HWND dialog, HWND box);

// The dialog's answer to a WM_CTLCOLOR* in the current look; null in the system's colours, which
// the dialog manager gives as it always has.
HBRUSH ColourControl(HDC dc, UINT message);
// A push button drawn in the dark look (its NM_CUSTOMDRAW); false: the button draws itself.
bool DrawButton(const NMCUSTOMDRAW& draw, LRESULT& result);

// The command box's frame and drop button over what the box drew, in the dark look: where the
// system has no dark class for it (before 1903, Wine) it would stay light.
void DrawBoxFrame(HWND box);

}  // namespace quillgate
