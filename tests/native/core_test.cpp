#include <gtest/gtest.h>

#include "core/launch_core.h"

namespace quillgate {
namespace {

TEST(TrimCommand, RemovesOnlySpacesAtBothEnds) {
  EXPECT_EQ(TrimCommand("   notepad   "), "notepad");
  EXPECT_EQ(TrimCommand("\tnotepad "), "\tnotepad");
  EXPECT_EQ(TrimCommand("    "), "");
}

}  // namespace
}  // namespace quillgate
