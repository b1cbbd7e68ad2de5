// Browse...: appends a file chosen in the shell's file-open dialog to the command box's text.
#pragma once

#include "platform/framework.h"

namespace quillgate {

// Shows the file-open dialog (modal to `owner`, default settings) and appends the chosen file's
// path to `box`'s text as a dropped file's is (see AppendDropped): after a space unless the text
// is empty or ends in one, in double quotes when it holds a space. Cancel, or any failure on the
// way, leaves the text as it was; nothing is thrown.
void AppendBrowsedPath(CWnd& box, HWND owner) noexcept;

}  // namespace quillgate
