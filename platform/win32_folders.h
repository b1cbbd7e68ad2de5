// Folder listings for the suggestions under the command box, and the reads that fetch them on
// threads of their own.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "core/path_input.h"

namespace quillgate::win32 {

// Listings through FindFirstFileExW (wide, \\?\ past MAX_PATH), names folded and ordered as
// Explorer does.
class FolderReader final : public IFolderReader {
 public:
  bool ReadFolder(const std::string& folder, const std::function<bool()>& wanted,
                  std::vector<FolderEntry>& entries) override;
  std::string Fold(std::string_view text) override;
  bool Before(const std::string& a, const std::string& b) override;
};

// One folder read on a thread of its own, which nobody ever waits for: a read no longer wanted
// is abandoned, and the process may end while one still waits on a server that does not
// answer. Reads are shared and few, as FolderReads has them; their threads touch nothing but
// the reads, the schedule that co-owns them, and the system.
class BackgroundRead {
 public:
  // A read of `folder` for one request; `message` is posted to `notify` when the read ends while
  // wanted (those of the latest request, when it is shared). A read that waits for a thread ends
  // unread (not Ok) when another is asked for before one is free. Null when no thread started.
  static std::shared_ptr<BackgroundRead> Start(const std::string& folder, HWND notify,
                                               UINT message);
  BackgroundRead(std::string folder, HWND notify, UINT message)
      : folder_(std::move(folder)), notify_(notify, message) {}

  // The request no longer wants the read: once for each Start that returned it, and not after
  // it collected the entries.
  void Abandon();
  const std::string& Folder() const { return folder_; }
  // True once the read ended; from then on Ok and TakeEntries may be called.
  bool Done() const { return done_.load(std::memory_order_acquire); }
  bool Ok() const { return ok_; }
  // The whole listing, for each request that collects it, which ends its interest as Abandon
  // does: the last request that still wanted the read takes it, any before gets a copy.
  std::vector<FolderEntry> TakeEntries() {
    return wanted_.fetch_sub(1) > 1 ? entries_ : std::move(entries_);
  }

 private:
  static DWORD WINAPI Run(void* first);
  void End(bool ok);

  const std::string folder_;
  std::pair<HWND, UINT> notify_;  // the window and message; guarded by the schedule's lock
  std::atomic<int> wanted_{1};    // requests that want the read
  std::atomic<bool> done_{false};
  bool ok_ = false;
  std::vector<FolderEntry> entries_;
};

}  // namespace quillgate::win32
