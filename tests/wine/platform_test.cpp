#include <gtest/gtest.h>

#include "platform/win32_shell.h"

namespace quillgate {
namespace {

TEST(Win32Shell, SplitsLikeThePathHelpers) {
  win32::Shell shell;
  auto parts = shell.SplitArguments("notepad c:\\notes.txt");
  EXPECT_EQ(parts.file, "notepad");
  EXPECT_EQ(parts.parameters, "c:\\notes.txt");
}

}  // namespace
}  // namespace quillgate
