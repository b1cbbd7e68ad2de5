// Which folder reads run. Each runs on a thread that nothing can stop while it waits on a
// server, so a read nobody wants any more keeps its thread until the server answers: started
// afresh for each edit, a few edits of an unreachable share's path would leave as many threads
// blocked. So one read at most runs or waits per folder, a few run at once, and one waits for
// a slot: the one asked for last.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillgate {

class FolderReads {
 public:
  explicit FolderReads(std::size_t slots) : slots_(slots) {}

  enum class Admit { Joined, Start, Wait };
  // A request for `folder`. Joined: its read runs or waits already, and serves this one too.
  // Start: it runs from now. Wait: it waits for a slot, in the place of the read that waited
  // before, if any (`displaced`), which will not run.
  Admit Want(const std::string& folder, std::optional<std::string>& displaced);
  // No one wants `folder` read: true if it waited, and now never runs; a running read runs on.
  bool Drop(const std::string& folder);
  // The running read of `folder` ended: the folder whose read now runs in its slot, if one waited.
  std::optional<std::string> Finished(const std::string& folder);

 private:
  std::size_t slots_;
  std::vector<std::string> running_;
  std::optional<std::string> waiting_;
};

}  // namespace quillgate
