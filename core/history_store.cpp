#include "core/history_store.h"

#include "core/history_format.h"

namespace quillgate {
namespace fs = std::filesystem;

const char* DataFileName(DataFile kind) {
  return kind == DataFile::History ? "quillgate.ini" : "quillgate.inf";
}

fs::path ResolveDataPath(IFileSystem& files, DataFile kind) {
  const fs::path name = DataFileName(DataFile::History);
  fs::path history = files.ProgramFolder() / name;
  if (!files.Exists(history)) {
    const fs::path documents = files.DocumentsFolder();
    // Without a documents folder the program folder is the only place left to keep a history.
    if (!documents.empty()) history = documents / name;
  }
  return kind == DataFile::History ? history : history.parent_path() / DataFileName(kind);
}

ReadResult ReadLastCommand(IFileSystem& files, const fs::path& path,
                           std::optional<std::string>& command) {
  command.reset();
  // Back from the end in pieces, each four times the last (most commands fit the first), until
  // they hold a whole non-empty line or the file: the last line's length sets the cost.
  std::string tail;
  for (std::size_t want = 64;; want *= 4) {
    std::string piece;
    std::error_code error;
    const ReadResult result = files.ReadTail(path, tail.size(), want, piece, error);
    if (result != ReadResult::Ok) return result;
    const bool whole = piece.size() < want;
    tail.insert(0, piece);
    if (const auto line = LastLine(tail, whole)) {
      command =
          ItemText(*line, [&files](std::string_view text) { return files.DecodeLegacy(text); });
      return ReadResult::Ok;
    }
    if (whole) return ReadResult::Ok;
  }
}

FirstPaint ReadFirstPaint(IFileSystem& files) {
  FirstPaint first;
  try {
    first.path = ResolveDataPath(files, DataFile::History);
    first.readable = ReadLastCommand(files, first.path, first.last) != ReadResult::Failed;
  } catch (const std::exception&) {
    first.readable = false;  // the existence test's error, or a line larger than memory
  }
  return first;
}

RewriteOutcome RewriteHistory(IFileSystem& files, const std::string& command, bool append) {
  RewriteOutcome outcome;
  try {
    const fs::path history = ResolveDataPath(files, DataFile::History);
    // Made beside the history, the new file takes its folder's permissions, not another's.
    const fs::path path = history.parent_path() / DataFileName(DataFile::Temporary);
    // Where earlier builds kept theirs.
    const fs::path former = files.ProgramFolder() / DataFileName(DataFile::Temporary);
    std::error_code error;
    auto temporary = files.ClaimTemporary(path, error);
    if (!temporary) throw fs::filesystem_error("create temporary file", path, error);

    // Read only now that this launcher has its turn, so a rewrite that just finished counts.
    std::string existing;
    bool recovering = false, fromFormer = false;
    switch (files.ReadWhole(history, existing, error)) {
      case ReadResult::Ok:
        break;
      case ReadResult::Missing:
        // A rewrite interrupted before its file was put in place left the only copy in its
        // temporary file: this one, or the one an earlier build kept beside the program.
        existing = temporary->Leftover();
        if (existing.empty() && former != path &&
            files.ReadWhole(former, existing, error) != ReadResult::Ok)
          existing.clear();
        fromFormer = temporary->Leftover().empty() && !existing.empty();
        recovering = !existing.empty();
        break;
      case ReadResult::Failed:
        // Rewriting from nothing would throw away a history merely unreadable now; a temporary
        // file this attempt created would only be left lying about.
        if (temporary->Leftover().empty()) temporary->Remove();
        throw fs::filesystem_error("read", history, error);
    }

    const std::string composed = ComposeHistory(
        existing, command, [&files](std::string_view line) { return files.DecodeLegacy(line); },
        append, &outcome.dropped);
    if (!append && outcome.dropped == 0) {
      if (temporary->Leftover().empty()) temporary->Remove();
      outcome.kind = RewriteOutcome::Kind::NothingMatched;
      return outcome;
    }
    if (auto writeError = temporary->Write(composed)) {
      // A torn file must not pass for a leftover later, unless what it held was the only copy
      // of the history: then that goes back in.
      if (recovering && !fromFormer) {
        temporary->Write(temporary->Leftover());
      } else {
        temporary->Remove();
      }
      throw fs::filesystem_error("write", temporary->Path(), writeError);
    }
    if (auto moveError = temporary->MoveOver(history))
      throw fs::filesystem_error("rename", temporary->Path(), history, moveError);
    // Its copy is in place now; beside the program it had that folder's permissions.
    if (fromFormer) {
      if (auto held = files.ClaimTemporary(former, error)) held->Remove();
    }
    outcome.kind = RewriteOutcome::Kind::Done;
  } catch (const fs::filesystem_error& failure) {
    // A file-system step; nothing was replaced. The system's words for it, not the library's.
    outcome.kind = RewriteOutcome::Kind::Failed;
    outcome.reason = failure.code().message();
    outcome.transient = failure.code() == std::errc::device_or_resource_busy;
  } catch (const std::exception& failure) {
    outcome.kind = RewriteOutcome::Kind::Failed;  // a history larger than the process can hold
    outcome.reason = failure.what();
  }
  return outcome;
}

}  // namespace quillgate
