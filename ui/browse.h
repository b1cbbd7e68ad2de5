// Browse...: appends a file chosen in the shell's file-open dialog to the command box's text.
#pragma once

#include "platform/framework.h"

namespace quillgate {

void AppendBrowsedPath(CWnd& box);

}  // namespace quillgate
