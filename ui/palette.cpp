#include "ui/palette.h"

#include <string>

#include "platform/win32_system.h"
#include "platform/win32_text.h"

namespace quillgate {
namespace {

Look g_look = Look::kLight;
const char* g_themeClasses[2] = {};

// Like Windows 11's own dark dialogs; every text is at least 4.5:1 against what lies behind it.
constexpr COLORREF kDarkFace = RGB(32, 32, 32);
constexpr COLORREF kDarkWindow = RGB(43, 43, 43);
constexpr COLORREF kDarkText = RGB(255, 255, 255);
constexpr COLORREF kDarkHighlight = RGB(0, 95, 184);  // white on it: 6.3:1
constexpr COLORREF kDarkButton = RGB(55, 55, 55);
constexpr COLORREF kDarkButtonHot = RGB(69, 69, 69);
constexpr COLORREF kDarkEdge = RGB(100, 100, 100);

HBRUSH SolidBrush(COLORREF colour) {
  const auto create = win32::gdi32::CreateSolidBrush();
  return create ? create(colour) : GetSysColorBrush(COLOR_WINDOW);
}

}  // namespace

Look CurrentLook() {
  return g_look;
}

void SetCurrentLook(Look look) {
  g_look = look;
}

Palette CurrentPalette() {
  if (g_look == Look::kDark) {
    // Made once, kept for the process's life: the dialog hands them out with every WM_CTLCOLOR*.
    static const HBRUSH brushes[] = {SolidBrush(kDarkFace),      SolidBrush(kDarkWindow),
                                     SolidBrush(kDarkHighlight), SolidBrush(kDarkButton),
                                     SolidBrush(kDarkButtonHot), SolidBrush(kDarkEdge),
                                     SolidBrush(kDarkText)};
    return {kDarkFace,   kDarkText,      kDarkWindow, kDarkText,  kDarkHighlight, kDarkText,
            kDarkButton, kDarkButtonHot, kDarkEdge,   brushes[0], brushes[1],     brushes[2],
            brushes[3],  brushes[4],     brushes[5],  brushes[6], false};
  }
  // Light and high contrast alike: whatever the system's colours are at this moment.
  const int face = COLOR_BTNFACE, window = COLOR_WINDOW, highlight = COLOR_HIGHLIGHT,
            hot = COLOR_BTNHIGHLIGHT, edge = COLOR_BTNSHADOW, text = COLOR_WINDOWTEXT;
  return {GetSysColor(face),
          GetSysColor(COLOR_BTNTEXT),
          GetSysColor(window),
          GetSysColor(text),
          GetSysColor(highlight),
          GetSysColor(COLOR_HIGHLIGHTTEXT),
          GetSysColor(face),
          GetSysColor(hot),
          GetSysColor(edge),
          GetSysColorBrush(face),
          GetSysColorBrush(window),
          GetSysColorBrush(highlight),
          GetSysColorBrush(face),
          GetSysColorBrush(hot),
          GetSysColorBrush(edge),
          GetSysColorBrush(text),
          true};
}

void SetThemeClass(ThemedControl control, const char* themeClass) {
  g_themeClasses[static_cast<int>(control)] = themeClass;
}

const char* ThemeClass(ThemedControl control) {
  return g_themeClasses[static_cast<int>(control)];
}

void ApplyThemeClass(HWND window, ThemedControl control) {
  const auto setTheme = win32::uxtheme::SetWindowTheme();
  if (!setTheme || !window) return;
  const char* name = ThemeClass(control);
  const std::wstring wide = name ? win32::Widen(name) : std::wstring();
  setTheme(window, name ? wide.c_str() : nullptr, nullptr);
}

void SetTextColours(HDC dc, COLORREF text, COLORREF back) {
  if (const auto textColor = win32::gdi32::SetTextColor()) textColor(dc, text);
  if (const auto backColor = win32::gdi32::SetBkColor()) backColor(dc, back);
}

}  // namespace quillgate
