#include "core/folder_reads.h"

#include <algorithm>
#include <utility>

namespace quillgate {

FolderReads::Admit FolderReads::Want(const std::string& folder,
                                     std::optional<std::string>& displaced) {
  displaced.reset();
  if (waiting_ == folder || std::count(running_.begin(), running_.end(), folder)) {
    return Admit::Joined;
  }
  if (running_.size() < slots_) {
    running_.push_back(folder);
    return Admit::Start;
  }
  displaced = std::exchange(waiting_, folder);
  return Admit::Wait;
}

bool FolderReads::Drop(const std::string& folder) {
  if (waiting_ != folder) return false;
  waiting_.reset();
  return true;
}

std::optional<std::string> FolderReads::Finished(const std::string& folder) {
  const auto at = std::find(running_.begin(), running_.end(), folder);
  if (at == running_.end()) return std::nullopt;
  running_.erase(at);
  if (waiting_) running_.push_back(*waiting_);
  return std::exchange(waiting_, std::nullopt);
}

}  // namespace quillgate
