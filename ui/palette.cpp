#include "ui/palette.h"

#include <string>

#include "platform/win32_system.h"
#include "platform/win32_text.h"

namespace quillgate {
namespace {

Look g_look = Look::kLight;

// Each role's colour in light and high contrast (the system's, by index) and in dark: like
// Windows 11's own dark dialogs, every text at least 4.5:1 against what lies behind it.
struct RoleColours {
  int system;
  COLORREF dark;
};
constexpr RoleColours kRoles[] = {
    {COLOR_BTNFACE, RGB(32, 32, 32)},           // kFace
    {COLOR_BTNTEXT, RGB(255, 255, 255)},        // kFaceText
    {COLOR_WINDOW, RGB(43, 43, 43)},            // kWindow
    {COLOR_WINDOWTEXT, RGB(255, 255, 255)},     // kText
    {COLOR_HIGHLIGHT, RGB(0, 95, 184)},         // kHighlight: white on it 6.3:1
    {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},  // kHighlightText
    {COLOR_BTNFACE, RGB(55, 55, 55)},           // kButton
    {COLOR_BTNHIGHLIGHT, RGB(69, 69, 69)},      // kButtonHot
    {COLOR_BTNSHADOW, RGB(100, 100, 100)},      // kEdge
};
constexpr int kRoleCount = sizeof kRoles / sizeof kRoles[0];
static_assert(kRoleCount == static_cast<int>(Role::kEdge) + 1, "a colour for every role");

const RoleColours& Of(Role role) {
  return kRoles[static_cast<int>(role)];
}

HBRUSH SolidBrush(COLORREF colour) {
  const auto create = win32::gdi32::CreateSolidBrush();
  return create ? create(colour) : GetSysColorBrush(COLOR_WINDOW);
}

}  // namespace

bool UseLook(Look look) {
  if (look == g_look) return false;
  g_look = look;
  return true;
}

bool SystemColours() {
  return g_look != Look::kDark;
}

COLORREF Colour(Role role) {
  return SystemColours() ? GetSysColor(Of(role).system) : Of(role).dark;
}

HBRUSH Brush(Role role) {
  if (SystemColours()) return GetSysColorBrush(Of(role).system);
  // Made at the first use and kept: the dialog hands them out with every WM_CTLCOLOR*.
  static HBRUSH made[kRoleCount] = {};
  HBRUSH& brush = made[static_cast<int>(role)];
  if (!brush) brush = SolidBrush(Of(role).dark);
  return brush;
}

const char* ThemeClass(ThemedControl control) {
  static const char* const dark[] = {"DarkMode_CFD", "DarkMode_Explorer"};
  return SystemColours() ? nullptr : dark[static_cast<int>(control)];
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
