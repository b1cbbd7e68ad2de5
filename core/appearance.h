// Light, dark or high contrast: which look the launcher takes from what the system says, and the
// title bar's attribute for each build. Decided here, without windows.h, so that the native tests
// see what Wine cannot show (high contrast, the title bar).
#pragma once

#include <cstdint>
#include <optional>

namespace quillgate {

enum class Look { kLight, kDark, kHighContrast };

// High contrast wins over the app mode; AppsUseLightTheme 0 is dark, missing or else light.
Look ChooseLook(bool highContrast, std::optional<std::uint32_t> appsUseLightTheme);

// The DWM attribute that darkens the title bar on `windowsBuild`; 0 before Windows 10 1809.
int TitleBarAttribute(std::uint32_t windowsBuild);

}  // namespace quillgate
