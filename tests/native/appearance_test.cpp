// Which look the settings give, and the title bar's attribute on each build: what a Wine run cannot
// show (high contrast, the title bar).
#include <gtest/gtest.h>

#include "core/appearance.h"

namespace quillgate::testing {
namespace {

// High contrast wins, only AppsUseLightTheme 0 is dark; before 1809, 1809 to 1909, 2004 and 11.
TEST(Appearance, HighContrastWinsAndEachBuildGetsItsTitleBarAttribute) {
  for (const auto mode :
       {std::optional<std::uint32_t>(), std::optional(0u), std::optional(1u), std::optional(2u)})
    EXPECT_TRUE(ChooseLook(true, mode) == Look::kHighContrast &&
                ChooseLook(false, mode) == (mode == 0u ? Look::kDark : Look::kLight));
  for (const auto& [build, attribute] :
       {std::pair(10586u, 0), {17762u, 0}, {17763u, 19}, {19040u, 19}, {19041u, 20}, {22631u, 20}})
    EXPECT_EQ(TitleBarAttribute(build), attribute) << build;
}

}  // namespace
}  // namespace quillgate::testing
