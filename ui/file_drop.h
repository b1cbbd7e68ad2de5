// Paths that reach the command box from outside, files dropped on the launcher or chosen with
// Browse...: they go to the end of the box's text as AppendDropped has it (after a space unless
// the text is empty or ends in one, in double quotes when they hold a space). Neither launches
// anything, and neither throws: a failure on the way leaves the text as it was.
#pragma once

#include "platform/framework.h"

namespace quillgate {

// The paths of the drop `drop`; the box then has the focus. The drop is finished either way.
void AppendDroppedFiles(CComboBox& box, HDROP drop) noexcept;
// The file chosen in the shell's file-open dialog (modal to `owner`, default settings); Cancel
// changes nothing.
void AppendBrowsedPath(CWnd& box, HWND owner) noexcept;

}  // namespace quillgate
