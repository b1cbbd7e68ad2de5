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
// answer. The thread touches nothing but this object, which it co-owns, and the system.
class BackgroundRead {
 public:
  // Starts reading `folder`; `message` is posted to `notify` when the read ends while still
  // wanted. Null when no thread could be started.
  static std::shared_ptr<BackgroundRead> Start(const std::string& folder, HWND notify,
                                               UINT message);
  BackgroundRead(std::string folder, HWND notify, UINT message)
      : folder_(std::move(folder)), notify_(notify), message_(message) {}

  void Abandon() { wanted_.store(false); }
  const std::string& Folder() const { return folder_; }
  // True once the read ended; from then on Ok and TakeEntries may be called.
  bool Done() const { return done_.load(std::memory_order_acquire); }
  bool Ok() const { return ok_; }
  std::vector<FolderEntry> TakeEntries() { return std::move(entries_); }

 private:
  static DWORD WINAPI Run(void* holder);

  const std::string folder_;
  const HWND notify_;
  const UINT message_;
  std::atomic<bool> wanted_{true};
  std::atomic<bool> done_{false};
  bool ok_ = false;
  std::vector<FolderEntry> entries_;
};

}  // namespace quillgate::win32
