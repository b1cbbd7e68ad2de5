#pragma once

#include "core/ports.h"

namespace quillgate::posix {

// Stand-ins for the Windows folders and file services, so the core runs and is tested natively:
// the running executable's folder, and the user's XDG documents folder (else ~/Documents).
class FileSystem final : public IFileSystem {
 public:
  std::filesystem::path ProgramFolder() override;
  std::filesystem::path DocumentsFolder() override;
  bool Exists(const std::filesystem::path& path) override;
  ReadResult ReadWhole(const std::filesystem::path& path, std::string& contents,
                       std::error_code& error) override;
  std::unique_ptr<ITemporaryFile> ClaimTemporary(const std::filesystem::path& path,
                                                 std::error_code& error) override;
};

// The documents folder named by an XDG user-dirs file's text, with $HOME expanded; empty when
// the text does not name one.
std::filesystem::path DocumentsFromUserDirs(const std::string& userDirs,
                                            const std::filesystem::path& home);

}  // namespace quillgate::posix
