// The services the launch core needs from its surroundings: the Win32 layer's, or tests' fakes.
// Text crosses every port as UTF-8; the Win32 layer converts at its edge.
#pragma once

#include <filesystem>
#include <memory>
#include <system_error>

#include "core/command_line.h"
#include "core/messages.h"

namespace quillgate {

// The command box as the core sees it: the plain combo-box operations, nothing of completion.
class ICommandBox {
 public:
  virtual ~ICommandBox() = default;
  // Named apart from the Win32 calls, which windows.h turns into macros.
  virtual std::string GetText() const = 0;
  virtual void SetText(const std::string& text) = 0;
  // Appends an item; the box is unsorted, so items keep the order they were added in.
  virtual void AddString(const char* item) = 0;
  // True when an item equals `text` as a whole, ignoring letter case.
  virtual bool FindStringExact(const std::string& text) const = 0;
};

class IShell {
 public:
  virtual ~IShell() = default;
  virtual CommandParts SplitArguments(const std::string& command) = 0;
  virtual std::string SystemDirectory() = 0;
  // The value of the environment variable `name` (any letter case); nothing when it is not set.
  virtual std::optional<std::string> Variable(const std::string& name) = 0;
  // True when the shell accepted the request; the shell reports its own failures to the user.
  virtual bool Execute(const LaunchRequest& request) = 0;
};

// Where the user hears about things: a message box, and the one diagnostic line on stdout.
class INotifier {
 public:
  virtual ~INotifier() = default;
  virtual void ShowMessage(const messages::Message& message) = 0;
  virtual void ReportFailure(const std::string& text) = 0;
};

enum class ReadResult { Ok, Missing, Failed };

// The errors below tell in message() what failed: the system's words, in the user's language.

// A temporary file held exclusively until destroyed, so two launchers recording at once take
// turns instead of interleaving their rewrites.
class ITemporaryFile {
 public:
  virtual ~ITemporaryFile() = default;
  virtual const std::filesystem::path& Path() const = 0;
  // What an earlier, interrupted rewrite left in the file when it was claimed.
  virtual const std::string& Leftover() const = 0;
  // Replaces the whole content and flushes it to the disk.
  virtual std::error_code Write(const std::string& content) = 0;
  // Replaces `target`, in the same folder, in one step. A read-only target is refused at once;
  // one another program holds is waited for briefly, then refused as device_or_resource_busy.
  virtual std::error_code MoveOver(const std::filesystem::path& target) = 0;
  // Deletes the file; used when its content must not survive.
  virtual void Remove() = 0;
};

// A file seen in place, in views of its pieces, rather than copied: a large history then costs
// only the mapping of its pages.
class IMappedFile {
 public:
  virtual ~IMappedFile() = default;
  virtual std::uint64_t Size() const = 0;
  virtual std::size_t PieceSize() const = 0;  // views begin at multiples of it
  // [offset, offset + length) of the file, readable until Unmap; null when it cannot be mapped.
  virtual const char* Map(std::uint64_t offset, std::size_t length) = 0;
  // No more views will be mapped: only those already mapped hold the file now.
  virtual void EndMapping() = 0;
  // May run on another thread than Map, for another view.
  virtual void Unmap(const char* view) = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  virtual std::filesystem::path ProgramFolder() = 0;
  // Empty when the user's documents folder cannot be determined.
  virtual std::filesystem::path DocumentsFolder() = 0;
  // File, folder, link or junction. "Not found" failures mean false; any other throws
  // std::filesystem::filesystem_error naming "exists" and the path.
  virtual bool Exists(const std::filesystem::path& path) = 0;
  // Without newline translation. Missing: no such file or folder; a file another program holds
  // fails with std::errc::device_or_resource_busy.
  virtual ReadResult ReadWhole(const std::filesystem::path& path, std::string& contents,
                               std::error_code& error) = 0;
  // Reads, the same way, the `bytes` bytes that end `kept` bytes before the file's end, or those
  // from its start where it begins sooner: a tail read in steps reads no byte twice.
  virtual ReadResult ReadTail(const std::filesystem::path& path, std::uint64_t kept,
                              std::size_t bytes, std::string& tail, std::error_code& error) = 0;
  // Opens a file to be seen in place; Missing and Failed as ReadWhole. Ok with a null `file`
  // where it cannot be mapped (an empty file, a system without mappings): it is read instead.
  virtual ReadResult MapFile(const std::filesystem::path&, std::unique_ptr<IMappedFile>& file,
                             std::error_code&) {
    file.reset();
    return ReadResult::Ok;
  }
  // A history line that is not UTF-8, as UTF-8: earlier versions wrote the ANSI code page.
  virtual std::string DecodeLegacy(std::string_view line) = 0;
  // Opens or creates `path` for exclusive use, waiting a few seconds for another writer. Null,
  // with `error` set, when that fails; device_or_resource_busy for a file that stays held.
  virtual std::unique_ptr<ITemporaryFile> ClaimTemporary(const std::filesystem::path& path,
                                                         std::error_code& error) = 0;
};

}  // namespace quillgate
