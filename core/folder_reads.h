// Which folder reads run. Nothing stops a read's thread while it waits on a server, so reads
// started afresh per edit of an unreachable share's path would leave as many threads blocked:
// one read at most runs or waits per folder, a few run at once, the last asked waits for a slot.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillgate {

class FolderReads {
 public:
  explicit FolderReads(std::size_t slots) : m_slots(slots) {}

  enum class Admit { Joined, Start, Wait };
  // Joined: a read of `folder` runs or waits already, and serves this request too. Start: it
  // runs from now. Wait: for a slot, in place of the read that waited (`displaced`), if any.
  Admit Want(const std::string& folder, std::optional<std::string>& displaced);
  // No one wants `folder` read: true if it waited, and now never runs; a running read runs on.
  bool Drop(const std::string& folder);
  // The running read of `folder` ended: the folder that waited, if any, now runs in its slot.
  std::optional<std::string> Finished(const std::string& folder);

 private:
  std::size_t m_slots;
  std::vector<std::string> m_running;
  std::optional<std::string> m_waiting;
};

}  // namespace quillgate
