#include "platform/win32_apps.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <string>

#include "platform/win32_files.h"
#include "platform/win32_handle.h"
#include "platform/win32_system.h"
#include "platform/win32_text.h"

namespace quillgate::win32 {

namespace {

// Defined here: with mingw, the shell's identifiers from libuuid can clash with oleacc's.
constexpr GUID kProgramsFolder = {
    0xA77F5D77, 0x2E2B, 0x44C3, {0xA6, 0xA2, 0xAB, 0xA6, 0x01, 0x05, 0x4A, 0x51}};
constexpr GUID kCommonProgramsFolder = {
    0x0139D44E, 0x6AFE, 0x49F2, {0x86, 0x90, 0x3D, 0xAF, 0xCA, 0xE6, 0xFF, 0xB8}};
constexpr GUID kLocalAppDataFolder = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
constexpr GUID kAppsFolder = {
    0x1E87508D, 0x89C2, 0x42F0, {0x8A, 0x7E, 0x64, 0x5A, 0x0F, 0x50, 0xCA, 0x58}};
constexpr GUID kShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kShellLinkW = {0x000214F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kShellItem = {
    0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};
constexpr GUID kEnumShellItems = {
    0x70629033, 0xE363, 0x4A28, {0xA5, 0x67, 0x0D, 0xB7, 0x80, 0x06, 0xE6, 0xD7}};
constexpr GUID kEnumItemsHandler = {
    0x94F60519, 0x2850, 0x4924, {0xAA, 0x5A, 0xD1, 0x5E, 0x84, 0x86, 0x80, 0x39}};

bool EndsWith(const std::wstring& name, const wchar_t* end) {
  const std::size_t n = std::wcslen(end);
  return name.size() > n &&
         CompareStringOrdinal(name.c_str() + name.size() - n, -1, end, -1, TRUE) == CSTR_EQUAL;
}

// Calls `found(path, data)` for every file and folder below `folder`; false when a folder there
// could not be listed whole. A folder that is not there holds nothing.
bool Walk(const std::wstring& folder,
          const std::function<void(const std::wstring&, const WIN32_FIND_DATAW&)>& found,
          int depth = 0) {
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find.Valid()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  bool whole = true;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    found(path, data);
    // Links and junctions are not followed: one that points back up would never end.
    const bool folderHere = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (folderHere && depth < 16) whole = Walk(path, found, depth + 1) && whole;
  } while (FindNextFileW(find.Get(), &data));
  return GetLastError() == ERROR_NO_MORE_FILES && whole;
}

void Hash(std::uint64_t& hash, const void* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= static_cast<const unsigned char*>(bytes)[i];
    hash *= 0x100000001B3ull;
  }
}

// The shell's name for the file, as Explorer and the Start menu show it: a folder's
// desktop.ini may give it in the user's language.
std::wstring DisplayName(const std::wstring& path) {
  const auto info = shell32::SHGetFileInfoW();
  SHFILEINFOW file{};
  std::wstring name;
  if (info && info(path.c_str(), 0, &file, sizeof file, SHGFI_DISPLAYNAME))
    name = file.szDisplayName;
  if (name.empty()) name = path.substr(path.find_last_of(L'\\') + 1);
  if (EndsWith(name, L".lnk") || EndsWith(name, L".url")) name.resize(name.size() - 4);
  return name;
}

// Whether the shortcut names a file that is gone. One to a server is not asked about (it may
// not answer), nor one to no file (a shell item, an installer's advertised shortcut).
bool Broken(IShellLinkW* link, IPersistFile* file, const std::wstring& path) {
  if (FAILED(file->Load(path.c_str(), STGM_READ))) return true;
  wchar_t target[MAX_PATH] = {};
  if (link->GetPath(target, MAX_PATH, nullptr, 0) != S_OK || !target[0]) return false;
  wchar_t expanded[MAX_PATH] = {};
  if (!ExpandEnvironmentStringsW(target, expanded, MAX_PATH)) return false;
  if (expanded[0] == L'\\' && expanded[1] == L'\\') return false;
  return GetFileAttributesW(expanded) == INVALID_FILE_ATTRIBUTES &&
         GetLastError() != ERROR_ACCESS_DENIED;
}

}  // namespace

std::filesystem::path AppCatalog::CacheFolder() {
  const std::wstring local = KnownFolder(kLocalAppDataFolder, KF_FLAG_DONT_VERIFY);
  if (local.empty()) return {};
  const std::wstring folder = local + L"\\QuillGate";
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return {};
  return folder;
}

std::string AppCatalog::Stamp() {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  const LANGID language = GetUserDefaultUILanguage();
  Hash(hash, &language, sizeof language);
  for (const GUID* id : {&kProgramsFolder, &kCommonProgramsFolder}) {
    const std::wstring root = KnownFolder(*id, KF_FLAG_DONT_VERIFY);
    Hash(hash, root.data(), root.size() * sizeof(wchar_t));
    if (!root.empty() && !Walk(root, [&](const std::wstring& path, const WIN32_FIND_DATAW& data) {
          Hash(hash, path.data(), path.size() * sizeof(wchar_t));
          Hash(hash, &data.ftLastWriteTime, sizeof data.ftLastWriteTime);
          Hash(hash, &data.nFileSizeLow, sizeof data.nFileSizeLow);
        }))
      return {};
  }
  // Installing or removing a packaged app registers it here, Start menu or not.
  const auto open = advapi32::RegOpenKeyExW();
  const auto query = advapi32::RegQueryInfoKeyW();
  const auto close = advapi32::RegCloseKey();
  HKEY key = nullptr;
  if (open && query && close &&
      open(HKEY_CURRENT_USER,
           L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\"
           L"AppModel\\Repository\\Packages",
           0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    FILETIME written{};
    DWORD subkeys = 0;
    query(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
          nullptr, &written);
    close(key);
    Hash(hash, &written, sizeof written);
    Hash(hash, &subkeys, sizeof subkeys);
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

bool AppCatalog::ReadShortcuts(std::vector<AppEntry>& apps) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (CreateInstance(kShellLink, CLSCTX_INPROC_SERVER, kShellLinkW, link))
    link->QueryInterface(kPersistFile, reinterpret_cast<void**>(file.Out()));
  bool whole = true;
  for (const auto& [id, origin] : {std::pair{&kProgramsFolder, AppOrigin::UserPrograms},
                                   std::pair{&kCommonProgramsFolder, AppOrigin::CommonPrograms}}) {
    const std::wstring root = KnownFolder(*id, KF_FLAG_DONT_VERIFY);
    if (root.empty()) continue;
    whole =
        Walk(root,
             [&](const std::wstring& path, const WIN32_FIND_DATAW& data) {
               if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN))
                 return;
               const bool shortcut = EndsWith(path, L".lnk");
               if (!shortcut && !EndsWith(path, L".url")) return;
               if (shortcut && file.Valid() && Broken(link.Get(), file.Get(), path)) return;
               apps.push_back({Narrow(DisplayName(path)), AppKind::Shortcut, Narrow(path), origin});
             }) &&
        whole;
  }
  return whole;
}

bool AppCatalog::ReadPackaged(std::vector<AppEntry>& apps) {
  // Windows 7 has no Apps folder, nor Wine: then there are no packaged apps to offer.
  const auto item = shell32::SHGetKnownFolderItem();
  ComPtr<IShellItem> folder;
  ComPtr<IEnumShellItems> items;
  if (!item ||
      FAILED(item(kAppsFolder, KF_FLAG_DEFAULT, nullptr, kShellItem,
                  reinterpret_cast<void**>(folder.Out()))) ||
      FAILED(folder->BindToHandler(nullptr, kEnumItemsHandler, kEnumShellItems,
                                   reinterpret_cast<void**>(items.Out()))))
    return false;
  for (;;) {
    ComPtr<IShellItem> app;
    if (items->Next(1, app.Out(), nullptr) != S_OK) break;
    TaskMemory<wchar_t> name, id;
    if (FAILED(app->GetDisplayName(SIGDN_NORMALDISPLAY, name.Out())) ||
        FAILED(app->GetDisplayName(SIGDN_PARENTRELATIVEPARSING, id.Out())))
      continue;
    // A packaged app's ID is its package family's name, "!", its own; the folder's other items
    // are the desktop programs the Start menu's shortcuts give already.
    if (!std::wcschr(id.Get(), L'!')) continue;
    apps.push_back(
        {Narrow(name.Get()), AppKind::Packaged, Narrow(id.Get()), AppOrigin::AppsFolder});
  }
  return true;
}

}  // namespace quillgate::win32
