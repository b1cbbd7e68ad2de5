#include "platform/win32_files.h"

#include <algorithm>
#include <cwctype>

#include "platform/win32_handle.h"
#include "platform/win32_text.h"

namespace quillgate::win32 {
namespace fs = std::filesystem;

namespace {

constexpr ULONGLONG kClaimWaitMs = 5000;  // a second launcher's wait for the first to record
constexpr DWORD kClaimRetryMs = 10;
constexpr ULONGLONG kMoveWaitMs = 500;  // a replacement's wait for a reader holding the history
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Win32 error codes, in the words the system has for them in the user's language. One that
// another program holding a file gives stands for device_or_resource_busy: a later try may find
// the file free.
template <bool Held>
class SystemErrors final : public std::error_category {
 public:
  const char* name() const noexcept override { return Held ? "win32 (held)" : "win32"; }
  std::string message(int code) const override {
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, text, 512, nullptr);
    while (length && iswspace(text[length - 1])) --length;  // its line end
    return length ? Narrow({text, length}) : std::system_category().message(code);
  }
  std::error_condition default_error_condition(int code) const noexcept override {
    return Held ? std::make_error_condition(std::errc::device_or_resource_busy)
                : std::system_category().default_error_condition(code);
  }
};

std::error_code ErrorOf(DWORD code, bool held = false) {
  static const SystemErrors<false> plain;
  static const SystemErrors<true> busy;
  held = held || code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
  return {static_cast<int>(code), held ? static_cast<const std::error_category&>(busy) : plain};
}

std::error_code LastError() {
  return ErrorOf(GetLastError());
}

// Into the string itself, sized from the file: the system copies a large history, and only once.
bool ReadAll(HANDLE file, std::string& contents) {
  constexpr std::size_t kChunk = 64 * 1024;
  LARGE_INTEGER size{}, at{}, none{};  // from where the file stands to its end
  const bool known = GetFileSizeEx(file, &size) && SetFilePointerEx(file, none, &at, FILE_CURRENT);
  const std::size_t expected = known && size.QuadPart > at.QuadPart
                                   ? static_cast<std::size_t>(size.QuadPart - at.QuadPart)
                                   : 0;
  contents.clear();
  std::size_t done = 0;
  for (;;) {
    // A byte more than the file, so the end shows without growing the string; a file that grew
    // meanwhile grows it by half each time.
    if (contents.size() == done) contents.resize(std::max(done + done / 2 + kChunk, expected + 1));
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(file, contents.data() + done, want, &got, nullptr)) {
      contents.clear();
      return false;
    }
    if (got == 0) break;
    done += got;
  }
  contents.resize(done);
  return true;
}

class TemporaryFile final : public ITemporaryFile {
 public:
  TemporaryFile(fs::path path, Handle handle, std::string leftover)
      : m_path(std::move(path)), m_handle(std::move(handle)), m_leftover(std::move(leftover)) {}

  const fs::path& Path() const override { return m_path; }
  const std::string& Leftover() const override { return m_leftover; }

  std::error_code Write(const std::string& content) override {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(m_handle.Get(), start, nullptr, FILE_BEGIN)) return LastError();
    if (!SetEndOfFile(m_handle.Get())) return LastError();
    std::size_t done = 0;
    while (done < content.size()) {
      const DWORD chunk =
          static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(m_handle.Get(), content.data() + done, chunk, &written, nullptr))
        return LastError();
      done += written;
    }
    return FlushFileBuffers(m_handle.Get()) ? std::error_code() : LastError();
  }

  std::error_code MoveOver(const fs::path& target) override {
    const std::wstring from = ApiPath(m_path), to = ApiPath(target);
    // Renamed while still held, so no other launcher can slip in between write and move. A
    // reader with the history open for a moment (a launcher loading it, an indexer) is waited
    // for. A read-only history is refused at once: Windows would refuse it no less (though as a
    // held file, denying access), and no wait changes that.
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
      return ErrorOf(ERROR_FILE_READ_ONLY);
    DWORD error = MoveWithRetries(from, to);
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) {
      // Still held: let go of our own handle too, in case it is what stands in the way.
      m_handle.Reset();
      error = MoveWithRetries(from, to);
    }
    if (error == ERROR_SUCCESS) return {};
    // Denied, though the folder took the temporary file and the history is not read-only: held
    // without deletion shared, or mapped (a sync tool, a scanner), unless its own rights deny it.
    bool held = false;
    if (error == ERROR_ACCESS_DENIED) {
      const Handle probe(CreateFileW(to.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, 0));
      held = probe.Valid() || GetLastError() == ERROR_SHARING_VIOLATION;
    }
    return ErrorOf(error, held);
  }

  void Remove() override {
    if (m_moved) return;
    FILE_DISPOSITION_INFO disposition{TRUE};
    // Through our own handle: no moment in which another writer could claim the half-written file.
    const bool deleted =
        m_handle.Valid() && SetFileInformationByHandle(m_handle.Get(), FileDispositionInfo,
                                                       &disposition, sizeof disposition);
    m_handle.Reset();
    if (!deleted) DeleteFileW(ApiPath(m_path).c_str());
  }

 private:
  DWORD MoveWithRetries(const std::wstring& from, const std::wstring& to) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    const ULONGLONG deadline = GetTickCount64() + kMoveWaitMs;
    for (;;) {
      if (MoveFileExW(from.c_str(), to.c_str(), flags)) {
        m_moved = true;
        return ERROR_SUCCESS;
      }
      const DWORD error = GetLastError();
      const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
      if (!transient || GetTickCount64() >= deadline) return error;
      Sleep(kClaimRetryMs);
    }
  }

  fs::path m_path;
  Handle m_handle;
  std::string m_leftover;
  bool m_moved = false;
};

}  // namespace

std::wstring ApiPath(const fs::path& path) {
  std::wstring text = path.wstring();
  std::replace(text.begin(), text.end(), L'/', L'\\');
  // Room for the 8.3 names and the terminator that the short-path APIs reserve.
  if (text.size() < MAX_PATH - 12 || text.rfind(LR"(\\?\)", 0) == 0) return text;
  if (text.size() > 2 && text[1] == L':' && text[2] == L'\\') {
    return LR"(\\?\)" + fs::path(text).lexically_normal().wstring();
  }
  if (text.rfind(LR"(\\)", 0) == 0) {
    return LR"(\\?\UNC\)" + fs::path(text.substr(2)).lexically_normal().wstring();
  }
  return text;
}

fs::path FileSystem::ProgramFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return fs::path(buffer.substr(0, length)).parent_path();
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring KnownFolder(const GUID& id, DWORD flags) {
  const auto known = shell32::SHGetKnownFolderPath();
  TaskMemory<wchar_t> path;
  if (!known || FAILED(known(id, flags, nullptr, path.Out())) || !path.Get()) return {};
  return path.Get();
}

fs::path FileSystem::DocumentsFolder() {
  // Flag 0: the current location, wherever the user moved the folder to.
  return KnownFolder(FOLDERID_Documents, 0);
}

bool FileSystem::Exists(const fs::path& path) {
  if (GetFileAttributesW(ApiPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
      error == ERROR_BAD_NETPATH || error == ERROR_INVALID_NAME)
    return false;
  throw fs::filesystem_error("exists", path, ErrorOf(error));
}

namespace {

ReadResult OpenToRead(const fs::path& path, DWORD flags, Handle& file, std::error_code& error) {
  file = Handle(CreateFileW(ApiPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            flags, nullptr));
  if (file.Valid()) return ReadResult::Ok;
  const DWORD code = GetLastError();
  error = ErrorOf(code);
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ReadResult::Missing
                                                                      : ReadResult::Failed;
}

class MappedFile final : public IMappedFile {
 public:
  MappedFile(Handle mapping, std::uint64_t size) : m_mapping(std::move(mapping)), m_size(size) {}
  std::uint64_t Size() const override { return m_size; }
  // A multiple of every system's allocation granularity.
  std::size_t PieceSize() const override { return 4u << 20; }
  const char* Map(std::uint64_t offset, std::size_t length) override {
    if (!m_mapping.Valid()) return nullptr;
    return static_cast<const char*>(MapViewOfFile(m_mapping.Get(), FILE_MAP_READ,
                                                  static_cast<DWORD>(offset >> 32),
                                                  static_cast<DWORD>(offset), length));
  }
  void EndMapping() override { m_mapping.Reset(); }
  void Unmap(const char* view) override { UnmapViewOfFile(view); }

 private:
  Handle m_mapping;
  std::uint64_t m_size;
};

}  // namespace

ReadResult FileSystem::MapFile(const fs::path& path, std::unique_ptr<IMappedFile>& file,
                               std::error_code& error) {
  file.reset();
  Handle handle;
  const ReadResult opened = OpenToRead(path, 0, handle, error);
  if (opened != ReadResult::Ok) return opened;
  LARGE_INTEGER size{};
  FILE_REMOTE_PROTOCOL_INFO remote{};
  // An empty file has nothing to map, and a share's is read instead.
  if (!GetFileSizeEx(handle.Get(), &size) || size.QuadPart <= 0 ||
      GetFileInformationByHandleEx(handle.Get(), FileRemoteProtocolInfo, &remote, sizeof remote)) {
    return ReadResult::Ok;
  }
  Handle mapping(CreateFileMappingW(handle.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (mapping.Valid()) {
    file =
        std::make_unique<MappedFile>(std::move(mapping), static_cast<std::uint64_t>(size.QuadPart));
  }
  return ReadResult::Ok;
}

ReadResult FileSystem::ReadWhole(const fs::path& path, std::string& contents,
                                 std::error_code& error) {
  contents.clear();
  Handle file;
  const ReadResult opened = OpenToRead(path, FILE_FLAG_SEQUENTIAL_SCAN, file, error);
  if (opened != ReadResult::Ok) return opened;
  if (!ReadAll(file.Get(), contents)) {
    error = LastError();
    return ReadResult::Failed;
  }
  error.clear();
  return ReadResult::Ok;
}

ReadResult FileSystem::ReadTail(const fs::path& path, std::uint64_t kept, std::size_t bytes,
                                std::string& tail, std::error_code& error) {
  tail.clear();
  Handle file;
  const ReadResult opened = OpenToRead(path, 0, file, error);
  if (opened != ReadResult::Ok) return opened;
  // Only the piece asked for; a file cut short meanwhile ends where it ends now.
  LARGE_INTEGER size{}, from{};
  bool ok = GetFileSizeEx(file.Get(), &size);
  const auto length = static_cast<std::uint64_t>(size.QuadPart);
  const std::uint64_t end = length - std::min(length, kept);
  from.QuadPart = static_cast<LONGLONG>(end - std::min<std::uint64_t>(end, bytes));
  tail.resize(static_cast<std::size_t>(end - static_cast<std::uint64_t>(from.QuadPart)));
  ok = ok && SetFilePointerEx(file.Get(), from, nullptr, FILE_BEGIN);
  std::size_t done = 0;
  for (DWORD got = 1; ok && got && done < tail.size(); done += got) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(tail.size() - done, 1u << 30));
    ok = ::ReadFile(file.Get(), tail.data() + done, want, &got, nullptr);
  }
  error = ok ? std::error_code() : LastError();
  tail.resize(ok ? done : 0);
  return ok ? ReadResult::Ok : ReadResult::Failed;
}

std::string FileSystem::DecodeLegacy(std::string_view line) {
  std::wstring text;
  Widen(line, text, CP_ACP);
  return Narrow(text);
}

std::unique_ptr<ITemporaryFile> FileSystem::ClaimTemporary(const fs::path& path,
                                                           std::error_code& error) {
  const std::wstring apiPath = ApiPath(path);
  const ULONGLONG deadline = GetTickCount64() + kClaimWaitMs;
  for (;;) {
    // No write sharing: a second launcher's claim fails until this handle is closed. Delete
    // sharing lets the file be renamed into place while still held.
    Handle file(CreateFileW(apiPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid()) {
      std::string leftover;
      ReadAll(file.Get(), leftover);  // emptied when it cannot be read
      error.clear();
      return std::make_unique<TemporaryFile>(path, std::move(file), std::move(leftover));
    }
    error = LastError();
    if (error != std::errc::device_or_resource_busy || GetTickCount64() >= deadline) return nullptr;
    Sleep(kClaimRetryMs);
  }
}

}  // namespace quillgate::win32
