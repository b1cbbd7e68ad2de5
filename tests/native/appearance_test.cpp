// Which look the settings give, and what the window holds after any walk of changes between
// looks: what a Wine run cannot show (the title bar's attribute, the theme classes, high contrast).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "core/appearance.h"

namespace quillgate::testing {
namespace {

struct RecordingLook final : IWindowLook {  // the window's state as the calls leave it
  void SetTitleBarDark(int attribute, bool dark) override { ++calls, titleBar[attribute] = dark; }
  void SetControlTheme(ThemedControl control, const char* name) override {
    ++calls, themes[control] = name ? name : "";
  }
  void UsePalette(Look look) override { ++calls, palette = look; }
  int calls = 0;
  std::map<int, bool> titleBar;
  std::map<ThemedControl, std::string> themes;
  Look palette = Look::kLight;
};

// High contrast wins, only AppsUseLightTheme 0 is dark; whatever the walk between the looks, the
// window ends as its last look wants it, on every build.
TEST(Appearance, AnyWalkOfSettingsLeavesTheWindowAsItsLastLookWants) {
  std::mt19937 random(7);
  // Before 1809, 1809 to 1909, 2004 and Windows 11.
  for (const auto& [build, attribute] :
       {std::pair{10586u, 0}, {17763u, 19}, {19040u, 19}, {19041u, 20}, {22631u, 20}}) {
    RecordingLook window;
    Look now = Look::kLight;  // where every launcher starts, and a light one stays untouched
    for (int step = 0; step < 200; ++step) {
      const bool high = random() % 3 == 0;
      const std::optional<std::uint32_t> mode[] = {std::nullopt, 0u, 1u, 2u};
      const auto value = mode[random() % 4];
      const Look next = ChooseLook(high, value);
      EXPECT_EQ(next, high ? Look::kHighContrast : value == 0u ? Look::kDark : Look::kLight);
      const int before = window.calls;
      ApplyLook(now, next, build, window);
      EXPECT_EQ(window.calls == before, next == now) << build;  // nothing changed, nothing done
      const bool dark = (now = next) == Look::kDark;
      EXPECT_EQ(window.palette, now);
      for (const auto& [set, on] : window.titleBar) EXPECT_TRUE(set == attribute && on == dark);
      if (dark && attribute) EXPECT_EQ(window.titleBar.count(attribute), 1u) << build;
      // The system's dark classes in dark only; light and high contrast the controls' own.
      if (dark || !window.themes.empty()) {
        EXPECT_EQ(window.themes[ThemedControl::kCommandBox], dark ? "DarkMode_CFD" : "");
        EXPECT_EQ(window.themes[ThemedControl::kListScrollBars], dark ? "DarkMode_Explorer" : "");
      }
    }
  }
}

}  // namespace
}  // namespace quillgate::testing
