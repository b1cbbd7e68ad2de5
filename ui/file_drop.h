// Files dropped on the launcher: their paths go to the end of the command box.
#pragma once

#include "platform/framework.h"

namespace quillgate {

// Appends the paths of the drop `drop` to the box's text (see AppendDropped), gives the box
// the focus and launches nothing. The drop is finished either way.
void AppendDroppedFiles(CComboBox& box, HDROP drop) noexcept;

}  // namespace quillgate
