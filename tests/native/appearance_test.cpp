// Which look the settings give, and the title bar's attribute on each build: what a Wine run cannot
// show (high contrast, the title bar).
#include <gtest/gtest.h>

#include "core/appearance.h"

namespace quillgate::testing {
namespace {

// High contrast wins, only AppsUseLightTheme 0 is dark; before 1809, 1809 to 1909, 2004 and 11.
TEST(Appearance, HighContrastWinsAndEachBuildGetsItsTitleBarAttribute) {
  const std::optional<std::uint32_t> modes[] = {std::nullopt, 0u, 1u, 2u};
  for (const auto& mode : modes) {
    EXPECT_EQ(ChooseLook(true, mode), Look::kHighContrast);
    EXPECT_EQ(ChooseLook(false, mode), mode == 0u ? Look::kDark : Look::kLight);
  }
  const std::pair<std::uint32_t, int> builds[] = {{10586, 0},  {17762, 0},  {17763, 19},
                                                  {19040, 19}, {19041, 20}, {22631, 20}};
  for (const auto& [build, attribute] : builds) {
    EXPECT_EQ(TitleBarAttribute(build), attribute) << build;
  }
}

}  // namespace
}  // namespace quillgate::testing
