// The launcher's own logic: where its files live, the history file, and the launch itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ports.h"

namespace quillgate {

enum class DataFile { History = 0, Temporary = 1 };

// The file name of each data file, as it is appended to a folder.
const char* DataFileName(DataFile kind);

// Spaces (U+0020 only) go from both ends; tabs and inner spaces stay.
std::string TrimCommand(std::string_view text);

// The portable counterpart of PathGetArgsA/PathRemoveArgsA: arguments begin after the first
// space outside double quotes; quotes around the file part stay.
CommandParts SplitCommandLine(std::string_view command);

// Well-formed UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool IsUtf8(std::string_view text);
// How many bytes from the start of `text` are well-formed UTF-8.
std::size_t Utf8Length(std::string_view text);

// %NAME% replaced by the variable's value, as the Windows shell expands them; a name that is not
// set stays as typed, and its closing % may open the next name.
using VariableLookup = std::function<std::optional<std::string>(const std::string& name)>;
std::string ExpandVariables(std::string_view text, const VariableLookup& lookup);

// The text of a history line that is not UTF-8.
using LegacyDecoder = std::function<std::string(std::string_view line)>;

// The history after `command` was launched (`append`) or forgotten. A line is what the loader
// takes for one: up to a CR LF, after a UTF-8 mark at the start of the file (which stays); what
// follows the last CR LF is an unfinished line. Lines that load as `command` (up to a NUL, a
// line that is not UTF-8 by its decoded text) are dropped. The others are carried over in order,
// split at every LF with their CRs removed, and parts that then read as `command` are dropped
// too; in a forget a line that would turn into `command` so is carried over as it stands.
// `command` is appended last when asked; CR LF line ends. `dropped`, when given, counts the
// lines and parts dropped.
std::string ComposeHistory(std::string_view existing, std::string_view command,
                           const LegacyDecoder& decode, bool append = true,
                           std::size_t* dropped = nullptr);

enum class ForgetResult { Forgotten, NothingMatched, Failed };

// Points in a history rewrite after which an interruption must still leave a usable history.
enum class UpdateStep { TemporaryClaimed, TemporaryWritten, Replaced };
using UpdateStepHook = void (*)(UpdateStep);
// For tests that stop a recording process at each step; null (the default) does nothing.
void SetUpdateStepHookForTesting(UpdateStepHook hook);

// Whether a history line ends at `p`: at its first zero byte (where a list item ends) or at the
// CR LF that ended it in the file, whichever comes first.
inline bool AtLineEnd(const char* p) {
  return p[0] == '\0' || (p[0] == '\r' && p[1] == '\n');
}

// The history's lines while they are still seen in the file itself: its views, one per piece,
// each to be put aside for a copy of its own, made off the dialog's thread. A view held for long
// would keep other launchers from replacing the history.
class MappedText {
 public:
  MappedText() = default;
  MappedText(const MappedText&) = delete;
  MappedText& operator=(const MappedText&) = delete;
  ~MappedText();
  std::size_t Pieces() const { return views_.size(); }
  // The bytes of the lines that begin in `piece`, through their line ends: what its view holds
  // of them, on the heap. Null when no line begins there.
  std::unique_ptr<char[]> Copy(std::size_t piece) const;
  // How many views have been let go.
  std::size_t Released() const { return released_.load(std::memory_order_acquire); }
  // Lets go of every view left (a copy begun meanwhile is waited for; later ones find nothing),
  // so that nothing of this process holds the file against a rewrite.
  void ReleaseAll();

 private:
  friend class LaunchCore;
  friend class HistoryLines;
  void Release(std::size_t piece);

  mutable std::mutex mutex_;  // between copies on the loading thread and letting go

  std::unique_ptr<IMappedFile> file_;
  std::vector<const char*> views_;
  std::vector<std::size_t> used_;
  std::atomic<std::size_t> released_{0};
};

// The history's lines, oldest first, empty ones left out, each found by where it begins: in the
// history's text as read, or in the views of the file until their copies take over. A million
// lines cost the file's size and four bytes a line.
class HistoryLines {
 public:
  std::size_t Count() const { return starts_.size(); }
  // Where the line begins; it ends as AtLineEnd says.
  const char* LineStart(std::size_t index) const;
  std::string_view Line(std::size_t index) const;
  // Adds a line at the end (a command the dialog added to its list).
  void Append(std::string_view line);
  void Erase(std::size_t index);
  // The views still to be copied, or null.
  const std::shared_ptr<MappedText>& Mapped() const { return mapped_; }
  // Puts the copy of a piece in place of its view, which is let go.
  void Adopt(const MappedText* from, std::size_t piece, std::unique_ptr<char[]> copy);
  // Copies every piece still seen in place, here and now: before the history is rewritten.
  void CopyRest();
  // No lines any more, and no views: for a launcher about to record and end.
  void LetGo();

 private:
  friend class LaunchCore;
  std::uint64_t piece_ = std::uint64_t{1} << 32;  // one piece: the text as read
  std::vector<const char*> bases_;                // where each piece's first byte is
  std::string text_;
  std::vector<std::unique_ptr<char[]>> copies_;
  std::shared_ptr<MappedText> mapped_;
  std::size_t adopted_ = 0;
  // Lines added later, each ended by a zero byte, begin at `appendedAt_` and on.
  std::string appended_;
  std::uint32_t appendedAt_ = 0;
  std::vector<std::uint32_t> starts_;
};

class LaunchCore {
 public:
  LaunchCore(IFileSystem& files, IShell& shell, INotifier& notifier)
      : files_(files), shell_(shell), notifier_(notifier) {}

  // A history file beside the executable is used in place; otherwise the history lives in
  // the documents folder. The temporary file lives beside the history: renamed into its
  // place, it keeps the permissions it was made with, its folder's, not the program folder's.
  // May throw the existence test's std::filesystem::filesystem_error.
  std::filesystem::path ResolveDataPath(DataFile kind);

  // Puts the most recent command in the box's edit field, reading only as much of the history's
  // end as holds it: what the window needs before it shows. A missing history is an empty one;
  // false, reported, when it cannot be read.
  bool LoadLastCommand(ICommandBox& box);

  // Reads, checks and splits the whole history at `path` (ResolveDataPath's answer). Touches
  // nothing but `files`, so it may run on another thread; reports nothing. A history too large
  // for the process is Failed. A history in UTF-8 is seen in place where the file can be mapped:
  // its lines then stay in the file's views until each piece's copy is adopted.
  static ReadResult LoadLines(IFileSystem& files, const std::filesystem::path& path,
                              HistoryLines& lines);

  // Tells the user the history could not be read (as the loads above do).
  void ReportUnreadableHistory();

  // Both of the above at once: the box gets every line, oldest first; failures are reported.
  void LoadHistory(ICommandBox& box);

  // Records a command the shell accepted. The old history stays exactly as it was unless a
  // complete replacement could be put in its place; failures are reported on stdout only.
  void UpdateHistory(const std::string& command);

  // Removes every line that loads as `command` from the history, the same way a recording
  // rewrites it. A history without such a line is not touched, and the user hears that nothing
  // was forgotten; a history that could not be rewritten is reported to the user as well.
  ForgetResult ForgetCommand(const std::string& command);

  // Launches the box's text, elevated through "runas" when asked; true when the shell
  // accepted it, which is also when it is recorded. `accepted` runs in between: recording may
  // wait seconds for another launcher, and the user need not.
  bool RunCommand(ICommandBox& box, bool elevated, const std::function<void()>& accepted = {});

 private:
  // What the temporary file earlier builds kept beside the program holds, when it is apart from
  // `temporary`: an interrupted rewrite of theirs may have left the only copy of the history.
  std::string ReadFormerTemporary(const std::filesystem::path& temporary);
  // Rewrites the history with `command` appended last or, unless `append`, removed; how many
  // lines were dropped, nothing when it failed (reported).
  std::optional<std::size_t> Rewrite(const std::string& command, bool append);
  std::string Decode(std::string_view line) { return files_.DecodeLegacy(line); }
  // The mapped load: false (and nothing kept) when the history has to be read instead.
  static bool LoadMapped(std::unique_ptr<IMappedFile> file, HistoryLines& lines);
  // The history's text with every line that is not UTF-8 replaced by its decoded text.
  static std::string DecodeLegacyLines(IFileSystem& files, const std::string& text);

  IFileSystem& files_;
  IShell& shell_;
  INotifier& notifier_;
};

}  // namespace quillgate
