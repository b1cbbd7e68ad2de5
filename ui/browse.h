// Browse...: appends a file chosen in the shell's file-open dialog to the command box's text.
#pragma once

#include "platform/framework.h"

namespace quillgate {

// Shows the file-open dialog (modal, no owner, default settings) and appends the chosen
// file's path to `box`'s text, in double quotes when it contains a space so that it stays one
// argument. Cancel, or any failure on the way, leaves the text as it was; nothing is thrown.
void AppendBrowsedPath(CWnd& box) noexcept;

}  // namespace quillgate
