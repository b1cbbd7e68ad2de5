// Folder listings for the suggestions under the command box, read on threads of their own.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "core/path_input.h"

namespace quillgate::win32 {

// Listings through FindFirstFileExW (wide, \\?\ past MAX_PATH), folded and ordered as Explorer.
class FolderReader final : public IFolderReader {
 public:
  bool ReadFolder(const std::string& folder, const std::function<bool()>& wanted,
                  std::vector<FolderEntry>& entries) override;
  std::string Fold(std::string_view text) override;
  bool Before(const std::string& a, const std::string& b) override;
};

// One folder read on a thread nobody waits for: one no longer wanted is abandoned, and the
// process may end while one waits on a server that does not answer. Reads are shared and few,
// as FolderReads has them; their threads touch only the reads, their schedule and the system.
class BackgroundRead {
 public:
  // `message` goes to `notify` (the latest request's) when the read ends while wanted; one waiting
  // for a thread ends unread (not Ok) if another is asked for first. Null if no thread started.
  static std::shared_ptr<BackgroundRead> Start(const std::string& folder, HWND notify,
                                               UINT message);
  BackgroundRead(std::string folder, HWND notify, UINT message)
      : m_folder(std::move(folder)), m_notify(notify, message) {}

  // Once for each Start that returned it, unless it collected the entries.
  void Abandon();
  const std::string& Folder() const { return m_folder; }
  // Once true, Ok and TakeEntries may be called.
  bool Done() const { return m_done.load(std::memory_order_acquire); }
  bool Ok() const { return m_ok; }
  // Ends the request's interest as Abandon does: the last one takes the listing, others a copy.
  std::vector<FolderEntry> TakeEntries() {
    return m_wanted.fetch_sub(1) > 1 ? m_entries : std::move(m_entries);
  }

 private:
  static void Run(BackgroundRead* first);
  void End(bool ok);

  const std::string m_folder;
  std::pair<HWND, UINT> m_notify;  // the window and message; guarded by the schedule's lock
  std::atomic<int> m_wanted{1};    // requests that want the read
  std::atomic<bool> m_done{false};
  bool m_ok = false;
  std::vector<FolderEntry> m_entries;
};

}  // namespace quillgate::win32
