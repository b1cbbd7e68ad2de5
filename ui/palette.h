// The colours of the three looks, in one place: the dialog's answers to WM_CTLCOLOR*, the buttons
// it draws in the dark look and the drop-down's items all take theirs from here. The look the
// launcher shows is kept here too, and only here.
#pragma once

#include <windows.h>

#include "core/appearance.h"

namespace quillgate {

// What a colour is for.
enum class Role {
  kFace,      // the dialog
  kFaceText,  // its texts
  kWindow,    // the box's field and the lists
  kText,      // their texts
  kHighlight,
  kHighlightText,
  kButton,  // the buttons, drawn by the program in the dark look only
  kButtonHot,
  kEdge,
};

// Takes `look` for what the launcher draws from now on (light until the dialog has read the
// system's settings); false when it was the look already.
bool UseLook(Look look);
// Light and high contrast: the system's own colours, read as they are now.
bool SystemColours();
COLORREF Colour(Role role);
HBRUSH Brush(Role role);  // kept for the process's life: never deleted by the caller

// The controls whose look comes from a theme class of the system's.
enum class ThemedControl { kCommandBox, kListScrollBars };
// The theme class the system draws `control` with in the current look: the system's dark classes
// in dark; null in light and high contrast, the control's own.
const char* ThemeClass(ThemedControl control);
// Gives `window` the theme class of `control`; uxtheme may be missing, and so may the class,
// which leaves the control as it was.
void ApplyThemeClass(HWND window, ThemedControl control);

// A DC's text colour and the colour behind its text; gdi32 is looked up, not imported.
void SetTextColours(HDC dc, COLORREF text, COLORREF back);

}  // namespace quillgate
