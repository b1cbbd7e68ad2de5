// Which look the system's settings give, and what the window holds after any walk of changes
// between looks: what a Wine run cannot show (the title bar's attribute, the theme classes, high
// contrast).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "core/appearance.h"

namespace quillgate::testing {
namespace {

// The window's state as the calls leave it.
struct RecordingLook final : IWindowLook {
  void SetTitleBarDark(int attribute, bool dark) override {
    ++calls;
    titleBar[attribute] = dark;
  }
  void SetControlTheme(ThemedControl control, const char* themeClass) override {
    ++calls;
    themes[control] = themeClass ? themeClass : "";
  }
  void UsePalette(Look look) override {
    ++calls;
    palette = look;
  }
  int calls = 0;
  std::map<int, bool> titleBar;
  std::map<ThemedControl, std::string> themes;
  Look palette = Look::kLight;
};

TEST(Appearance, HighContrastWinsAndOnlyZeroIsDark) {
  for (const std::optional<std::uint32_t> value :
       {std::optional<std::uint32_t>(), std::optional(0u), std::optional(1u), std::optional(2u)}) {
    EXPECT_EQ(ChooseLook(true, value), Look::kHighContrast);
    EXPECT_EQ(ChooseLook(false, value), value == 0u ? Look::kDark : Look::kLight);
  }
}

TEST(Appearance, AnyWalkOfLooksLeavesTheWindowAsItsLastLookWants) {
  const Look looks[] = {Look::kLight, Look::kDark, Look::kHighContrast};
  std::mt19937 random(7);
  // Before 1809, 1809 to 1909, then 2004 and Windows 11.
  for (const auto& [build, attribute] :
       {std::pair{10586u, 0}, {17763u, 19}, {19040u, 19}, {19041u, 20}, {22631u, 20}}) {
    RecordingLook window;
    ApplyLook(Look::kLight, Look::kLight, build, window);
    EXPECT_EQ(window.calls, 0);  // a light start is as it always was
    Look now = Look::kLight;
    for (int step = 0; step < 200; ++step) {
      const Look next = looks[random() % 3];
      const int before = window.calls;
      ApplyLook(now, next, build, window);
      SCOPED_TRACE(std::to_string(build) + " step " + std::to_string(step));
      EXPECT_EQ(window.calls == before, next == now);  // a change of nothing costs nothing
      now = next;
      const bool dark = now == Look::kDark;
      EXPECT_EQ(window.palette, now);
      // Only the attribute of this build, dark exactly in the dark look.
      for (const auto& [set, on] : window.titleBar) EXPECT_TRUE(set == attribute && on == dark);
      if (dark && attribute) EXPECT_EQ(window.titleBar.count(attribute), 1u);
      if (dark || !window.themes.empty()) {
        EXPECT_EQ(window.themes[ThemedControl::kCommandBox], dark ? "DarkMode_CFD" : "");
        EXPECT_EQ(window.themes[ThemedControl::kListScrollBars], dark ? "DarkMode_Explorer" : "");
      }
    }
  }
}

}  // namespace
}  // namespace quillgate::testing
