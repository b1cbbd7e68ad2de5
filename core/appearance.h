// Light, dark or high contrast: which look the launcher takes from what the system says, and the
// system calls each look needs. Decided here, without windows.h, so that the native tests see
// every call that Wine cannot show (the title bar's attribute, the theme classes).
#pragma once

#include <cstdint>
#include <optional>

namespace quillgate {

enum class Look { kLight, kDark, kHighContrast };

// High contrast wins over the app mode; AppsUseLightTheme 0 is dark, missing or else light.
Look ChooseLook(bool highContrast, std::optional<std::uint32_t> appsUseLightTheme);

// The DWM attribute that darkens the title bar on `windowsBuild`; 0 before Windows 10 1809.
int TitleBarAttribute(std::uint32_t windowsBuild);

// The controls whose look comes from a theme class of the system's.
enum class ThemedControl { kCommandBox, kListScrollBars };

// The window as the look sees it; the Win32 side does the drawing.
class IWindowLook {
 public:
  virtual ~IWindowLook() = default;
  virtual void SetTitleBarDark(int attribute, bool dark) = 0;
  // `themeClass` null: the control's own theme again.
  virtual void SetControlTheme(ThemedControl control, const char* themeClass) = 0;
  // The colours of what the program draws and of the dialog's backgrounds; repaints.
  virtual void UsePalette(Look look) = 0;
};

// Moves `window` from the look `from` to `to`. A light launcher makes no call at all, so that it
// stays as it was before there were looks.
void ApplyLook(Look from, Look to, std::uint32_t windowsBuild, IWindowLook& window);

}  // namespace quillgate
