#include "platform/win32_folders.h"

#include <shlwapi.h>

#include <utility>

#include "platform/win32_handle.h"
#include "platform/win32_paths.h"
#include "platform/win32_system.h"
#include "platform/win32_text.h"

namespace quillgate::win32 {

namespace {

// Letter case as the file system's comparison of names ignores it: one UTF-16 unit for one,
// independent of the user's language.
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
  static const auto logical =
      SystemFunction<decltype(StrCmpLogicalW)>(L"shlwapi.dll", "StrCmpLogicalW");
  const std::wstring wideA = Widen(a), wideB = Widen(b);
  if (logical) return logical(wideA.c_str(), wideB.c_str()) < 0;
  return CompareStringOrdinal(wideA.c_str(), -1, wideB.c_str(), -1, TRUE) == CSTR_LESS_THAN;
}

std::shared_ptr<BackgroundRead> BackgroundRead::Start(const std::string& folder, HWND notify,
                                                      UINT message) {
  auto read = std::make_shared<BackgroundRead>(folder, notify, message);
  auto holder = std::make_unique<std::shared_ptr<BackgroundRead>>(read);
  const FileHandle thread(CreateThread(nullptr, 0, Run, holder.get(), 0, nullptr));
  if (!thread.Valid()) return nullptr;
  holder.release();  // the thread's own reference now
  return read;
}

DWORD WINAPI BackgroundRead::Run(void* holder) {
  const std::unique_ptr<std::shared_ptr<BackgroundRead>> owner(
      static_cast<std::shared_ptr<BackgroundRead>*>(holder));
  BackgroundRead& read = **owner;
  try {
    FolderReader reader;
    read.ok_ = ReadSuggestible(
        reader, read.folder_, [&] { return read.wanted_.load(); }, read.entries_);
  } catch (const std::exception&) {
    // Out of memory on a huge folder: it offers nothing.
    read.ok_ = false;
    read.entries_.clear();
  }
  read.done_.store(true, std::memory_order_release);
  if (read.wanted_.load()) PostMessageW(read.notify_, read.message_, 0, 0);
  return 0;
}

}  // namespace quillgate::win32
