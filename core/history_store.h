// Where the history file lives and how it changes: read for the first paint, rewritten whole.
#pragma once

#include "core/ports.h"

namespace quillgate {

enum class DataFile { History = 0, Temporary = 1 };

const char* DataFileName(DataFile kind);

// A history file beside the executable is used in place; otherwise the history lives in the
// documents folder, with the temporary file beside it. May throw the existence test's
// std::filesystem::filesystem_error.
std::filesystem::path ResolveDataPath(IFileSystem& files, DataFile kind);

// The most recent command, as the list shows it, for the window before it shows: only as much of
// the file's end as holds it is read, each byte once. Nothing without lines; may throw bad_alloc.
ReadResult ReadLastCommand(IFileSystem& files, const std::filesystem::path& path,
                           std::optional<std::string>& command);

// What the window needs before it shows: where the history is, and its last command; not
// readable when it cannot be read. Touches only `files`, so it may run on another thread.
struct FirstPaint {
  bool readable = false;
  std::filesystem::path path;
  std::optional<std::string> last;
};
FirstPaint ReadFirstPaint(IFileSystem& files);

struct RewriteOutcome {
  enum class Kind { Done, NothingMatched, Failed };
  Kind kind = Kind::Failed;
  std::size_t dropped = 0;  // lines and parts dropped
  std::string reason;       // Failed: the error code's message, as the file system words it
  bool transient = false;   // Failed because another program held a file: a later try may succeed
};

// Rewrites the history with `command` appended last or, unless `append`, every line that loads
// as it removed (none: the file is untouched). The old history stays exactly as it was unless a
// complete replacement took its place. Reports nothing.
RewriteOutcome RewriteHistory(IFileSystem& files, const std::string& command, bool append);

}  // namespace quillgate
