#include "ui/browse.h"

namespace quillgate {

void AppendBrowsedPath(CWnd&) {}

}  // namespace quillgate
