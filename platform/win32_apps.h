// The installed apps as the shell shows them: the Start menu's Programs folders (the user's and
// all users', with their display names, localized ones included) and the packaged apps of the
// Apps folder where the system has one. For a worker thread with COM (ComApartment) on it: every
// call may wait on the disk, and the shell's names on the shell's extensions.
#pragma once

#include "core/apps.h"

namespace quillgate::win32 {

class AppCatalog final : public IAppCatalog {
 public:
  // %LOCALAPPDATA%\QuillGate.
  std::filesystem::path CacheFolder() override;
  // Every entry's name, size and time in both Programs folders, the packages' registration time
  // and the user's language, hashed.
  std::string Stamp() override;
  // .lnk and .url files, in subfolders too; a shortcut whose target file is gone is left out.
  bool ReadShortcuts(std::vector<AppEntry>& apps) override;
  bool ReadPackaged(std::vector<AppEntry>& apps) override;
};

}  // namespace quillgate::win32
