#include "platform/win32_folders.h"

#include <map>
#include <optional>
#include <utility>

#include "core/folder_reads.h"
#include "platform/win32_files.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"

namespace quillgate::win32 {

namespace {

// Case as the file system's name comparison ignores it: unit for unit, whatever the language.
std::wstring Upper(std::wstring text) {
  if (!text.empty()) {
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                 text.data(), static_cast<int>(text.size()));
  }
  return text;
}

}  // namespace

bool FolderReader::ReadFolder(const std::string& folder, const std::function<bool()>& wanted,
                              std::vector<FolderEntry>& entries) {
  const std::wstring pattern = ApiPath(std::filesystem::path(Widen(folder))) + L"*";
  WIN32_FIND_DATAW data;
  // Without the short names, and in large batches: a folder of many entries over a network.
  FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find.Valid()) return false;
  do {
    if (!wanted()) return false;
    const std::wstring_view name = data.cFileName;
    entries.push_back(
        {Narrow(name), Narrow(Upper(std::wstring(name))),
         (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
  } while (FindNextFileW(find.Get(), &data));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

std::string FolderReader::Fold(std::string_view text) {
  return Narrow(Upper(Widen(text)));
}

bool FolderReader::Before(const std::string& a, const std::string& b) {
  // Explorer's order: digits by their value, letters as the user's language sorts them.
  const auto logical = shlwapi::StrCmpLogicalW();
  const std::wstring wideA = Widen(a), wideB = Widen(b);
  if (logical) return logical(wideA.c_str(), wideB.c_str()) < 0;
  return CompareStringOrdinal(wideA.c_str(), -1, wideB.c_str(), -1, TRUE) == CSTR_LESS_THAN;
}

namespace {

// Shared by the dialog's thread and the reads'. Never freed: a read may end while the process
// exits. The lock is never held across a wait on a folder.
struct Schedule {
  SRWLOCK lock = SRWLOCK_INIT;
  // Enough for the folder being typed while as many others still wait on unreachable servers.
  FolderReads reads{3};
  std::map<std::string, std::shared_ptr<BackgroundRead>> inFlight;  // each folder `reads` names
};
Schedule& schedule = *new Schedule;

Holder<SRWLOCK*, ReleaseSRWLockExclusive> Lock() {
  AcquireSRWLockExclusive(&schedule.lock);
  return Holder<SRWLOCK*, ReleaseSRWLockExclusive>(&schedule.lock);
}

}  // namespace

std::shared_ptr<BackgroundRead> BackgroundRead::Start(const std::string& folder, HWND notify,
                                                      UINT message) {
  const auto locked = Lock();
  std::optional<std::string> displaced;
  const FolderReads::Admit admit = schedule.reads.Want(folder, displaced);
  if (admit == FolderReads::Admit::Joined) {
    auto& read = schedule.inFlight.at(folder);
    ++read->m_wanted;
    read->m_notify = {notify, message};
    return read;
  }
  auto read = std::make_shared<BackgroundRead>(folder, notify, message);
  if (displaced) schedule.inFlight.extract(*displaced).mapped()->End(false);
  schedule.inFlight[folder] = read;
  if (admit == FolderReads::Admit::Start && !StartThread([first = read.get()] { Run(first); })) {
    schedule.inFlight.erase(folder);
    schedule.reads.Finished(folder);  // nothing waits while a slot is free
    return nullptr;
  }
  return read;
}

void BackgroundRead::Abandon() {
  const auto locked = Lock();
  if (--m_wanted <= 0 && schedule.reads.Drop(m_folder)) {
    schedule.inFlight.extract(m_folder).mapped()->End(false);
  }
}

void BackgroundRead::End(bool ok) {
  m_ok = ok;
  if (!ok) m_entries.clear();
  m_done.store(true, std::memory_order_release);
  if (m_wanted.load() > 0) PostMessageW(m_notify.first, m_notify.second, 0, 0);
}

void BackgroundRead::Run(BackgroundRead* first) {
  // One slot's thread goes on with the read that waited for it; the schedule keeps each alive.
  for (auto* read = first; read;) {
    bool gaveUp = false, ok = false;
    try {
      FolderReader reader;
      ok = ReadSuggestible(
          reader, read->m_folder, [&] { return !(gaveUp = read->m_wanted.load() <= 0); },
          read->m_entries);
    } catch (const std::exception&) {  // out of memory on a huge folder: it offers nothing
    }
    const auto locked = Lock();
    if (gaveUp && read->m_wanted.load() > 0) continue;  // wanted again meanwhile: read it whole
    const auto next = schedule.reads.Finished(read->m_folder);
    read->End(ok);
    schedule.inFlight.erase(schedule.inFlight.find(read->m_folder));  // may end `read` itself
    read = next ? schedule.inFlight.at(*next).get() : nullptr;
  }
}

}  // namespace quillgate::win32
