// Which look the settings give, and what the window holds after every change between looks: what
// a Wine run cannot show (the title bar's attribute, the theme classes, high contrast).
#include "core/appearance.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

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

TEST(Appearance, HighContrastWinsAndOnlyAnAppModeOfZeroIsDark) {
  for (const bool high : {false, true})
    for (const auto mode : {std::optional<std::uint32_t>(), {0u}, {1u}, {2u}})
      EXPECT_EQ(ChooseLook(high, mode), high ? Look::kHighContrast
                                        : mode == 0u ? Look::kDark
                                                     : Look::kLight);
}

// From every look a launcher can be in to every other, on every build (before 1809, 1809 to
// 1909, 2004 and Windows 11): the window ends as the new look wants it, and nothing changed is
// nothing done.
TEST(Appearance, EveryChangeOfLookOnEveryBuildLeavesTheWindowAsTheNewLookWants) {
  const Look looks[] = {Look::kLight, Look::kDark, Look::kHighContrast};
  for (const auto& [build, attribute] :
       {std::pair{10586u, 0}, {17763u, 19}, {19040u, 19}, {19041u, 20}, {22631u, 20}}) {
    for (const Look from : looks) {
      for (const Look to : looks) {
        SCOPED_TRACE(std::to_string(build) + " " + std::to_string(int(from)) + std::to_string(int(to)));
        RecordingLook window;
        ApplyLook(Look::kLight, from, build, window);  // every launcher starts light
        const int before = window.calls;
        ApplyLook(from, to, build, window);
        EXPECT_EQ(window.calls == before, from == to);
        const bool dark = to == Look::kDark;
        if (window.calls) EXPECT_EQ(window.palette, to);
        for (const auto& [set, on] : window.titleBar) EXPECT_TRUE(set == attribute && on == dark);
        EXPECT_EQ(window.titleBar.count(attribute), dark && attribute ? 1u : window.titleBar.size());
        // The system's dark classes in dark only; light and high contrast the controls' own.
        if (dark || !window.themes.empty()) {
          EXPECT_EQ(window.themes[ThemedControl::kCommandBox], dark ? "DarkMode_CFD" : "");
          EXPECT_EQ(window.themes[ThemedControl::kListScrollBars], dark ? "DarkMode_Explorer" : "");
        }
      }
    }
  }
}

}  // namespace
}  // namespace quillgate::testing
