#include "core/folder_reads.h"

#include <algorithm>
#include <utility>

namespace quillgate {

FolderReads::Admit FolderReads::Want(const std::string& folder,
                                     std::optional<std::string>& displaced) {
  displaced.reset();
  if (m_waiting == folder || std::count(m_running.begin(), m_running.end(), folder)) {
    return Admit::Joined;
  }
  if (m_running.size() < m_slots) {
    m_running.push_back(folder);
    return Admit::Start;
  }
  displaced = std::exchange(m_waiting, folder);
  return Admit::Wait;
}

bool FolderReads::Drop(const std::string& folder) {
  if (m_waiting != folder) return false;
  m_waiting.reset();
  return true;
}

std::optional<std::string> FolderReads::Finished(const std::string& folder) {
  const auto at = std::find(m_running.begin(), m_running.end(), folder);
  if (at == m_running.end()) return std::nullopt;
  m_running.erase(at);
  if (m_waiting) m_running.push_back(*m_waiting);
  return std::exchange(m_waiting, std::nullopt);
}

}  // namespace quillgate
