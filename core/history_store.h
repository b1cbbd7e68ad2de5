// Where the history file lives and how it changes: read for the first paint, rewritten whole.
#pragma once

#include "core/ports.h"

namespace quillgate {

enum class DataFile { History = 0, Temporary = 1 };

// The file name of each data file, as it is appended to a folder.
const char* DataFileName(DataFile kind);

// A history file beside the executable is used in place; otherwise the history lives in the
// documents folder. The temporary file lives beside the history: renamed into its place, it
// keeps the permissions it was made with, its folder's, not the program folder's. May throw the
// existence test's std::filesystem::filesystem_error.
std::filesystem::path ResolveDataPath(IFileSystem& files, DataFile kind);

// The most recent command of the history at `path`, as the list shows it, reading only as much
// of the file's end as holds it, each byte once: what the window needs before it shows. Nothing
// for a history without lines. May throw std::bad_alloc.
ReadResult ReadLastCommand(IFileSystem& files, const std::filesystem::path& path,
                           std::optional<std::string>& command);

struct RewriteOutcome {
  enum class Kind { Done, NothingMatched, Failed };
  Kind kind = Kind::Failed;
  std::size_t dropped = 0;  // lines and parts dropped
  std::string reason;       // Failed: the file-system error's text
  bool mayPass = false;     // Failed because another program held a file: a later try may succeed
};

// Rewrites the history with `command` appended last or, unless `append`, every line that loads
// as it removed; a forget that matches nothing leaves the file untouched. The old history stays
// exactly as it was unless a complete replacement could be put in its place. Reports nothing.
RewriteOutcome RewriteHistory(IFileSystem& files, const std::string& command, bool append);

}  // namespace quillgate
