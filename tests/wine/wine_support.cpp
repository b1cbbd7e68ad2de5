#include "wine_support.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace quillgate::testing {

std::wstring LongForm(const fs::path& path) {
  std::wstring text = path.wstring();
  std::replace(text.begin(), text.end(), L'/', L'\\');
  if (text.rfind(LR"(\\?\)", 0) == 0) return text;
  if (text.size() > 2 && text[1] == L':' && text[2] == L'\\') return LR"(\\?\)" + text;
  if (text.rfind(LR"(\\)", 0) == 0) return LR"(\\?\UNC\)" + text.substr(2);
  return text;
}

bool MakeFolders(const fs::path& path) {
  if (Present(path)) return true;
  if (path.has_parent_path() && path.parent_path() != path && !MakeFolders(path.parent_path())) {
    return false;
  }
  return CreateDirectoryW(LongForm(path).c_str(), nullptr) ||
         GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteBytes(const fs::path& path, const std::string& bytes) {
  HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::optional<std::string> ReadBytes(const fs::path& path) {
  HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool Present(const fs::path& path) {
  return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const fs::path& path) {
  const std::wstring root = LongForm(path);
  const DWORD attributes = GetFileAttributesW(root.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    // A linked folder is removed as a link, never followed.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      WIN32_FIND_DATAW entry;
      HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &entry);
      if (search != INVALID_HANDLE_VALUE) {
        do {
          const std::wstring name = entry.cFileName;
          if (name != L"." && name != L"..") RemoveTree(path / name);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
      }
    }
    RemoveDirectoryW(root.c_str());
  } else {
    SetFileAttributesW(root.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(root.c_str());
  }
}

fs::path ScratchFolder::DefaultParent() {
  wchar_t buffer[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, buffer);
  return fs::path(buffer).parent_path();
}

ScratchFolder::ScratchFolder(const fs::path& parent) {
  static unsigned counter = 0;
  for (;;) {
    path_ =
        parent / ("qg-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
    if (CreateDirectoryW(LongForm(path_).c_str(), nullptr)) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      path_.clear();
      return;
    }
  }
}

ScratchFolder::~ScratchFolder() {
  if (!path_.empty()) RemoveTree(path_);
}

void PrintTo(DocumentsVolume volume, std::ostream* out) {
  *out << (volume == DocumentsVolume::Same ? "SameVolume" : "OtherVolume");
}

fs::path DocumentsParent(DocumentsVolume volume) {
  if (volume == DocumentsVolume::Same) return ScratchFolder::DefaultParent();
  const fs::path tmpfs = FromUnixPath("/dev/shm");
  return !tmpfs.empty() && Present(tmpfs) ? tmpfs : fs::path();
}

bool RecordingBox::FindStringExact(const std::string& value) const {
  const auto same = [&value](const std::string& item) {
    return item.size() == value.size() &&
           std::equal(item.begin(), item.end(), value.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  };
  return std::any_of(items.begin(), items.end(), same);
}

fs::path OwnFolder() {
  std::wstring buffer(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(length);
  return fs::path(buffer).parent_path();
}

Child::Child(const std::wstring& commandLine) {
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &info)) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
  }
}

Child::Child(Child&& other) noexcept : process_(std::exchange(other.process_, nullptr)) {}

Child::~Child() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

std::optional<DWORD> Child::Wait(DWORD limitMs) {
  if (!process_) return std::nullopt;
  if (WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

std::wstring Quote(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only in front of a quote.
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

fs::path FromUnixPath(const char* unixPath) {
  using Convert = WCHAR*(CDECL*)(LPCSTR);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (!convert) return {};
  WCHAR* dos = convert(unixPath);
  if (!dos) return {};
  fs::path result(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

}  // namespace quillgate::testing
