#include "core/appearance.h"

namespace quillgate {
namespace {

constexpr std::uint32_t kFirstDarkTitleBar = 17763;  // Windows 10 1809
constexpr std::uint32_t kFinalAttribute = 19041;     // Windows 10 2004 renumbered it
constexpr int kEarlyDarkAttribute = 19;
constexpr int kDarkAttribute = 20;

}  // namespace

Look ChooseLook(bool highContrast, std::optional<std::uint32_t> appsUseLightTheme) {
  if (highContrast) return Look::kHighContrast;
  return appsUseLightTheme == 0u ? Look::kDark : Look::kLight;
}

int TitleBarAttribute(std::uint32_t windowsBuild) {
  if (windowsBuild < kFirstDarkTitleBar) return 0;
  return windowsBuild < kFinalAttribute ? kEarlyDarkAttribute : kDarkAttribute;
}

}  // namespace quillgate
