// The colours of the three looks, in one place: the dialog's answers to WM_CTLCOLOR*, the buttons
// it draws in the dark look and the drop-down's items all take theirs from here.
#pragma once

#include <windows.h>

#include "core/appearance.h"

namespace quillgate {

struct Palette {
  COLORREF face, faceText;  // the dialog and its texts
  COLORREF window, text;    // the box's field and the lists
  COLORREF highlight, highlightText;
  COLORREF button, buttonHot, edge;  // the buttons, drawn by the program in the dark look only
  HBRUSH faceBrush, windowBrush, highlightBrush, buttonBrush, buttonHotBrush, edgeBrush, textBrush;
  bool system;  // light and high contrast: the system's own colours, read as they are now
};

// The look the launcher shows; light until the dialog has read the system's settings.
Look CurrentLook();
void SetCurrentLook(Look look);
Palette CurrentPalette();

// The theme class the system draws `control` with in the current look; null: its own.
void SetThemeClass(ThemedControl control, const char* themeClass);
const char* ThemeClass(ThemedControl control);
// Gives `window` the theme class of `control`; uxtheme may be missing, and so may the class,
// which leaves the control as it was.
void ApplyThemeClass(HWND window, ThemedControl control);

// A DC's text colour and the colour behind its text; gdi32 is looked up, not imported.
void SetTextColours(HDC dc, COLORREF text, COLORREF back);

}  // namespace quillgate
